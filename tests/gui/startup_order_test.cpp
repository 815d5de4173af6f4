// SPDX-License-Identifier: GPL-3.0-or-later
// The window is built while the program starts, and shown after: it must look
// as one built after the start, and nothing the user does before it is shown
// may reach the program.

#include "gui_fixture.h"

#include <QImage>
#include <QWindow>

namespace varkelon::testing {
namespace {

struct Started {
    RecordingMidiSystem midi;
    MemorySettingsStore settings;
    MemoryStyleFile style_file{real_style_file()};
    ScriptedDialogs dialogs;
    Program program{ProgramPorts{midi, settings, style_file, dialogs}};
    std::unique_ptr<ProgramView> view;
};

QImage picture_of(ProgramView& view) {
    return view.main_window().grab().toImage();
}

TEST(StartUpOrder, AWindowBuiltBeforeTheStartShowsAsOneBuiltAfter) {
    Started after;
    ASSERT_TRUE(after.program.start());
    after.view = std::make_unique<ProgramView>(after.program);
    after.view->show();

    Started before;
    before.view = std::make_unique<ProgramView>(before.program);
    ASSERT_TRUE(before.program.start());
    before.view->show();

    EXPECT_EQ(before.view->main_window().pos(), after.view->main_window().pos());
    const QImage a = picture_of(*after.view);
    const QImage b = picture_of(*before.view);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b) << "the two windows differ in their pixels";
    EXPECT_EQ(before.midi.events, after.midi.events);
}

// Fails to open, as with no audio output, and counts every send, open or not.
class FailingMidi final : public MidiSystem {
public:
    int sends = 0;
    std::vector<std::string> output_names() override { return {}; }
    int open(int) override { return 4; }
    void send(std::uint32_t) override { ++sends; }
    void close() override {}
};

TEST(StartUpOrder, AKeyPressedOnAMessageBoxOfTheStartDoesNotReachTheProgram) {
    FailingMidi midi;
    MemorySettingsStore settings;
    MemoryStyleFile style_file{real_style_file()};
    ScriptedDialogs dialogs;
    Program program{ProgramPorts{midi, settings, style_file, dialogs}};
    ProgramView view(program);
    QWindow box; // stands for the message box's window
    int sent_by_the_key = -1;
    dialogs.on_shown = [&](const ScriptedDialogs::Shown&) {
        const int before = midi.sends;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, kX11Z, 0, 0, "z");
        QCoreApplication::sendEvent(&box, &press);
        sent_by_the_key = midi.sends - before;
    };
    ASSERT_TRUE(program.start());
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text, "Couldn't open midi out, rc = 4");
    EXPECT_EQ(sent_by_the_key, 0);

    // Once the window is shown the same key plays.
    view.show();
    const int before = midi.sends;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, kX11Z, 0, 0, "z");
    QCoreApplication::sendEvent(view.main_window().windowHandle(), &press);
    EXPECT_GT(midi.sends, before);
}

} // namespace
} // namespace varkelon::testing
