// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string_view>

namespace varkelon {

inline constexpr int kInstrumentCount = 128;

// Indexed by General MIDI program number, counted from 0.
extern const std::array<std::string_view, kInstrumentCount> kInstrumentNames;

// The eight basses of the General MIDI order, 32 to 39, which play an octave lower.
constexpr bool is_bass_program(int program) {
    return (program & 248) == 32;
}

} // namespace varkelon
