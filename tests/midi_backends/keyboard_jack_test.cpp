// SPDX-License-Identifier: GPL-3.0-or-later
// The program as it runs, on JACK: the Qt window and its timers, the MIDI
// keyboard input port and the JACK output, wired as the program entry wires
// them. A JACK MIDI keyboard of the test's own strikes C-E♭-G together in
// accompaniment mode; a second JACK client of the test's own, chosen in the
// device menu, records what the program plays: the accompaniment in C minor.

#include "app/program.h"
#include "jack_fixture.h"
#include "midi/backends/midi_keyboard_input.h"
#include "midi/backends/system_midi.h"
#include "midi/midi_facts.h"
#include "test_support.h"
#include "ui/main_window_view.h"
#include "ui/program_view.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

namespace varkelon {
namespace {

using namespace std::chrono_literals;
using jack_test::Clock;
using jack_test::FakeKeyboard;
using jack_test::JackServer;
using jack_test::Receiver;

class JackKeyboard : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        server_ = JackServer::start(why);
        if (!server_) {
            GTEST_SKIP() << "cannot start a JACK server for the test: " << why;
        }
    }
    std::unique_ptr<JackServer> server_;
};

// Runs the event loop until `done` holds or the time is up.
bool run_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done()) {
            return true;
        }
        QTest::qWait(2);
    }
    return false;
}

bool is_note_on(std::uint32_t m) {
    return unpack_short_message(m).is_sounding_note_on();
}
int channel(std::uint32_t m) {
    return unpack_short_message(m).channel();
}
int data1(std::uint32_t m) {
    return unpack_short_message(m).data1;
}

TEST_F(JackKeyboard, CMinorStruckTogetherPlaysTheAccompanimentInCMinor) {
    Receiver recorder; // "midi-receiver-test: in"
    FakeKeyboard keyboard("usb-keyboard-test");
    ASSERT_TRUE(keyboard.ok());

    SystemMidi::Options options;
    options.synth.soundfont = "/nonexistent/GM.sf2"; // the mapper fails: no sound here
    options.ports.apis = {RtMidi::UNIX_JACK};
    SystemMidi midi(options);
    MemorySettingsStore settings;
    MemoryStyleFile style = test::style_data_file();
    ScriptedDialogs dialogs;
    Program program({midi, settings, style, dialogs});
    ProgramView view(program, &midi);
    ASSERT_TRUE(program.start());
    view.show();
    auto input = MidiKeyboardInput::start(
        {view.midi_message_from_port(), view.midi_keyboard_gone_from_port()});
    ASSERT_TRUE(input && input->on_jack());
    Form1& form = program.form1();

    // The recorder, chosen in the device menu.
    int item = -1;
    for (int i = 1; i <= 10; ++i) {
        if (form.device_item(i).visible &&
            form.device_item(i).caption == "midi-receiver-test: in") {
            item = i;
        }
    }
    ASSERT_GT(item, 0) << "the recorder's port is in the device menu";
    QAction* choice = view.main_window().action_of(ControlId{Ctl::device, item});
    ASSERT_NE(choice, nullptr);
    choice->trigger();
    ASSERT_EQ(form.r.midi_out_handle, 1) << "the recorder's port opened";
    view.click(ControlId{Ctl::Command7, -1}); // "Аккомпанемент": "Синхростарт" armed
    ASSERT_NE(form.r.accomp_mode, 0);

    const std::string own = input->jack_port_name();
    ASSERT_TRUE(run_until([&] { return keyboard.connected_to(own); }, 5s))
        << "the keyboard is connected to the program's input by itself";

    const auto before = recorder.received().size();
    const auto struck = Clock::now();
    keyboard.play(0x90, 48, 100); // C-E♭-G, one chord
    keyboard.play(0x90, 51, 100);
    keyboard.play(0x90, 55, 100);
    // The chord starts the rhythm; a second of it shows the accompaniment.
    ASSERT_TRUE(run_until([&] { return form.r.rhythm_running != 0; }, 5s));
    run_until([] { return false; }, 1500ms);
    EXPECT_EQ(form.r.chord_root, 0);
    EXPECT_EQ(form.r.chord_minor, 1);

    const auto all = recorder.received();
    const auto times = recorder.arrival_times();
    const std::vector<std::uint32_t> played(all.begin() + static_cast<std::ptrdiff_t>(before),
                                            all.end());
    // The live chord once: bass C on channel 14, C-E♭-G on channel 15.
    std::vector<std::uint32_t> live;
    for (std::uint32_t m : played) {
        if (is_note_on(m) &&
            (channel(m) == kLiveChordBassChannel || channel(m) == kLiveChordChannel)) {
            live.push_back(m & 0xFFFFU);
        }
    }
    EXPECT_EQ(live, (std::vector<std::uint32_t>{0x249D, 0x3C9E, 0x3F9E, 0x439E}));

    // The accompaniment parts (channels 1 to 6) follow C minor: E♭, never E.
    std::set<std::uint32_t> pitch_classes;
    for (std::uint32_t m : played) {
        if (is_note_on(m) && channel(m) <= 6) {
            pitch_classes.insert(data1(m) % 12);
        }
    }
    ASSERT_FALSE(pitch_classes.empty()) << "the accompaniment played";
    EXPECT_EQ(pitch_classes.count(3), 1U) << "E♭ sounds";
    EXPECT_EQ(pitch_classes.count(4), 0U) << "E never sounds";

    // What a player waits: from the strike to the chord at the synth's port.
    const auto first_bass = std::find(all.begin() + static_cast<std::ptrdiff_t>(before), all.end(),
                                      pack_short_message(0x9D, 36, 62));
    ASSERT_NE(first_bass, all.end());
    const auto delay = times[static_cast<std::size_t>(first_bass - all.begin())] - struck;
    std::cout << "[   NOTE   ] strike to chord at the recorder: "
              << std::chrono::duration<double, std::milli>(delay).count() << " ms (gathering "
              << kChordGatherMs << " ms)\n";
    input.reset();
    program.exit_program();
}

} // namespace
} // namespace varkelon

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
