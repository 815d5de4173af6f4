// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/controls.h"

#include <array>
#include <string>
#include <vector>

namespace varkelon {

inline constexpr int kTwipsPerPixel = 15;

// Design geometry is in twips, the screen in pixels; a part pixel is dropped.
constexpr int twips_to_px(int twips) {
    return twips / kTwipsPerPixel;
}
constexpr int px_to_twips(int px) {
    return px * kTwipsPerPixel;
}
inline constexpr int kForm1ClientWidth = 8865; // twips
inline constexpr int kForm1ClientHeight = 5505;
inline constexpr int kKeyCount = 37;
inline constexpr int kPadCount = 8;
inline constexpr int kChordKeyCount = 12; // keys 0 to 11 choose the chord in accompaniment mode
inline constexpr int kDeviceItems = 11;   // the mapper and at most ten ports

// Where the main window stands when no position is saved (twips).
inline constexpr int kForm1DefaultLeft = 3000;
inline constexpr int kForm1DefaultTop = 3000;

inline constexpr const char* kProgramTitle = "Варкелон";
inline constexpr const char* kForm1Caption = " Варкелон";

// Every control of the main window in its design state, in stacking order.
std::vector<Control> make_form1_controls();

// The two timers of the main window in their design state.
ModelTimer make_timer1();
ModelTimer make_timer2();

// A key is black when its position in the octave is 1, 3, 6, 8 or 10.
constexpr bool is_black_key(int k) {
    const int p = k % 12;
    return p == 1 || p == 3 || p == 6 || p == 8 || p == 10;
}

// Captions of the 37 keys: the computer key that plays each.
extern const std::array<const char*, kKeyCount> kKeyCaptions;
// Captions of the eight drum pads.
extern const std::array<const char*, kPadCount> kPadCaptions;

} // namespace varkelon
