// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The demonstration piece: every event a press or release of a virtual key,
// as a player would make it, one step per tick of the rhythm timer.

#include <cstdint>
#include <span>

namespace varkelon {

enum class DemoOp : std::uint8_t {
    Press,          // a melody key
    PressLowered,   // a melody key sounding one octave lower
    Release,        // any key
    Chord,          // a chord key with a modifier mask
    RestartPattern, // the style from its first tick
    Percussion,     // a drum note at the master level
    HalfPercussion, // a drum note at half the master level
    Stop,           // the end of the piece
};

struct DemoAction {
    std::int16_t step; // the value of demo_step after its increase
    DemoOp op;
    std::uint8_t value; // the key, or the drum note
    std::uint8_t mask;  // modifier mask of a chord key
};

// In step order; the actions of one step in the order they happen.
std::span<const DemoAction> demo_score();

// The step at which the piece stops the rhythm.
inline constexpr std::int16_t kDemoLastStep = 329;

} // namespace varkelon
