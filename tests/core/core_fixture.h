// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A whole program on in-memory ports: what it sends, shows and saves is read
// back from the recording MIDI port, the scripted dialogs and the settings map.

#include "adapters/disk_style_file.h"
#include "app/fakes.h"
#include "app/program.h"
#include "midi/recording_midi.h"
#include "support/control_print.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace varkelon {

// Readable failures: colours and control names as the logic names them.
inline void PrintTo(const Color& c, std::ostream* os) {
    *os << c.to_string();
}

} // namespace varkelon

namespace varkelon::test {

// The shipped style file, read as the program reads it: a missing file
// reports Missing, so the tests fail at start() instead of on empty bytes.
inline StyleFileSource::Result shipped_style_file() {
    return DiskStyleFile{VARKELON_DATA_FILE}.read();
}

inline std::vector<std::uint8_t> shipped_style_bytes() {
    return shipped_style_file().bytes;
}

// Windows virtual-key codes used by several tests.
inline constexpr int kKeyZ = 90; // key 0
inline constexpr int kKeyB = 66; // key 7
inline constexpr int kKeyN = 78; // key 9
inline constexpr int kKeyL = 76; // key 13
inline constexpr int kKeyT = 84; // key 24
inline constexpr int kKeyA = 65; // not on the keyboard
inline constexpr int kShiftKey = 16;
inline constexpr int kF1 = 112;

struct Core {
    RecordingMidiSystem midi;
    MemorySettingsStore settings;
    MemoryStyleFile style_file{shipped_style_file()};
    ScriptedDialogs dialogs;
    Program program{ProgramPorts{midi, settings, style_file, dialogs}};

    Form1& form() { return program.form1(); }
    Form1Register& r() { return program.form1().r; }

    // Starts the program; the tests that use it expect a good start.
    void start() { ASSERT_TRUE(program.start()); }

    // A point in the port's history, to read what came after it.
    std::size_t mark() const { return midi.events.size(); }

    std::vector<std::uint32_t> sent_since(std::size_t from) const {
        std::vector<std::uint32_t> out;
        for (std::size_t i = from; i < midi.events.size(); ++i) {
            if (midi.events[i].kind == RecordingMidiSystem::Event::Kind::Send) {
                out.push_back(midi.events[i].message);
            }
        }
        return out;
    }

    Control& control(Ctl c, int index = -1) { return form().controls.at(ControlId{c, index}); }
    Color back_color(Ctl c, int index = -1) { return control(c, index).back_color; }

    void scroll(Ctl slider, int value) { form().scroll(slider, value); }
    void mouse_down(Ctl c, int index, int button = kLeftButton, int mask = 0) {
        form().mouse_down(ControlId{c, index}, button, mask);
    }
    // The release goes where the button's press went; the control is named
    // here only so that a test reads as the user acts.
    void mouse_up(Ctl /*c*/, int /*index*/, int button = kLeftButton, int mask = 0) {
        form().mouse_up(button, mask);
    }
    void click(Ctl c, int index = -1) { form().click(ControlId{c, index}); }

    // Accompaniment mode as the "Аккомпанемент" button will set it.
    void accompaniment_on() {
        r().accomp_mode = kTrue;
        form().paint_chord_keys();
    }
};

// The 16 all-notes-off messages, channel 1 first.
inline std::vector<std::uint32_t> all_notes_off_messages() {
    std::vector<std::uint32_t> out;
    for (std::uint32_t c = 0; c < 16; ++c) {
        out.push_back(0x00007BB0U + c);
    }
    return out;
}

inline std::uint32_t note_on(int channel, int note, int velocity) {
    return pack_short_message(0x90 + channel - 1, note, velocity);
}
inline std::uint32_t note_off(int channel, int note) {
    return pack_short_message(0x80 + channel - 1, note, 0);
}

} // namespace varkelon::test
