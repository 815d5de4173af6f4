// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace varkelon {

// General MIDI percussion note of each drum pad: kick, floor tom, low tom,
// hi-mid tom, snare, open hat, closed hat, crash.
inline constexpr std::array<int, 8> kPadNotes = {36, 41, 45, 48, 38, 46, 42, 57};

// The pad that a drum note lights, or -1.
constexpr int pad_for_note(int note) {
    for (int i = 0; i < static_cast<int>(kPadNotes.size()); ++i) {
        if (kPadNotes[static_cast<std::size_t>(i)] == note) {
            return i;
        }
    }
    return -1;
}

} // namespace varkelon
