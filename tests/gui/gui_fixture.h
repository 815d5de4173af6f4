// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program on real widgets with a recording MIDI port, in-memory settings
// and the real style data file.

#include "adapters/disk_style_file.h"
#include "app/fakes.h"
#include "app/program.h"
#include "midi/recording_midi.h"
#include "support/control_print.h"
#include "ui/control_widgets.h"
#include "ui/main_window_view.h"
#include "ui/program_view.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace varkelon::testing {

inline StyleFileSource::Result real_style_file() {
    return DiskStyleFile{VARKELON_DATA_FILE}.read();
}

// Note messages of the solo voice (channel 16).
constexpr std::uint32_t note_on(int note, int velocity) {
    return pack_short_message(0x9F, note, velocity);
}
constexpr std::uint32_t note_off(int note) {
    return pack_short_message(0x8F, note, 0);
}

// X11 keycodes (evdev code + 8) of some physical keys.
inline constexpr quint32 kX11Z = 52;
inline constexpr quint32 kX11Digit2 = 11;
inline constexpr quint32 kX11End = 115;
inline constexpr quint32 kX11F3 = 69;

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override { start(); }

    // Starts the program with the settings as they are now.
    void start() {
        program_ = std::make_unique<Program>(ProgramPorts{midi, settings, style_file, dialogs});
        ASSERT_TRUE(program_->start());
        view_ = std::make_unique<ProgramView>(*program_);
        view_->show();
        midi.clear();
    }

    Program& program() { return *program_; }
    ProgramView& view() { return *view_; }
    MainWindowView& main_window() { return view_->main_window(); }
    QWidget* widget(Ctl c, int index = -1) { return main_window().widget_of(ControlId{c, index}); }

    // A key event as the platform delivers it: to the window, carrying the
    // X11 keycode of the physical key.
    void send_key(QEvent::Type type, quint32 x11_keycode, int qt_key, const QString& text,
                  bool auto_repeat = false, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent ev(type, qt_key, mods, x11_keycode, 0, 0, text, auto_repeat);
        QCoreApplication::sendEvent(main_window().windowHandle(), &ev);
    }

    std::vector<std::uint32_t> sent() const { return midi.sent(); }
    long count_sent(std::uint32_t message) const {
        const auto s = midi.sent();
        return std::count(s.begin(), s.end(), message);
    }

    RecordingMidiSystem midi;
    MemorySettingsStore settings;
    MemoryStyleFile style_file{real_style_file()};
    ScriptedDialogs dialogs;

private:
    std::unique_ptr<Program> program_;
    std::unique_ptr<ProgramView> view_; // destroyed before the program
};

} // namespace varkelon::testing
