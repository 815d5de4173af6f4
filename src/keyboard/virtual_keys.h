// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Windows virtual-key codes: the core reads key events in these codes, and
// the view translates X11 and Qt keys into them. Letters and digits are their
// ASCII capitals and digits ('A', '0') and have no name here.

namespace varkelon::vk {

inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kReturn = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kMenu = 18; // Alt
inline constexpr int kPause = 19;
inline constexpr int kCapital = 20;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kPrior = 33;
inline constexpr int kNext = 34;
inline constexpr int kEnd = 35;
inline constexpr int kHome = 36;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kSnapshot = 44;
inline constexpr int kInsert = 45;
inline constexpr int kDelete = 46;
inline constexpr int kLWin = 91;
inline constexpr int kRWin = 92;
inline constexpr int kApps = 93;
inline constexpr int kNumpad0 = 96; // .. kNumpad0 + 9
inline constexpr int kMultiply = 106;
inline constexpr int kAdd = 107;
inline constexpr int kSubtract = 109;
inline constexpr int kDecimal = 110;
inline constexpr int kDivide = 111;
inline constexpr int kF1 = 112; // .. kF1 + 11 = F12
inline constexpr int kF8 = kF1 + 7;
inline constexpr int kNumLock = 144;
inline constexpr int kScroll = 145;
inline constexpr int kOem1 = 186;      // ; :
inline constexpr int kOemPlus = 187;   // = +
inline constexpr int kOemComma = 188;  // , <
inline constexpr int kOemMinus = 189;  // - _
inline constexpr int kOemPeriod = 190; // . >
inline constexpr int kOem2 = 191;      // / ?
inline constexpr int kOem3 = 192;      // ` ~
inline constexpr int kOem4 = 219;      // [ {
inline constexpr int kOem5 = 220;      // \ |
inline constexpr int kOem6 = 221;      // ] }
inline constexpr int kOem7 = 222;      // ' "
inline constexpr int kOem102 = 226;    // the extra key left of Z on ISO keyboards

} // namespace varkelon::vk
