// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace varkelon {

// Named colours of the desktop theme; the view maps them onto its palette.
enum class SystemColor : std::uint8_t {
    ButtonFace,
    ButtonHighlight,
    MenuText,
    WindowBackground,
    WindowText,
    ButtonText,
};

// A control colour as the logic sees it: either an exact RGB value or a named
// system colour. Key colours are read back and compared, so equality is exact.
struct Color {
    bool is_system = false;
    SystemColor system = SystemColor::ButtonFace;
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    static constexpr Color rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return Color{false, SystemColor::ButtonFace, red, green, blue};
    }
    static constexpr Color of(SystemColor c) { return Color{true, c, 0, 0, 0}; }

    friend constexpr bool operator==(const Color& x, const Color& y) {
        return x.is_system == y.is_system &&
               (x.is_system ? x.system == y.system : (x.r == y.r && x.g == y.g && x.b == y.b));
    }

    // "RGB(r, g, b)" or the system colour's name.
    std::string to_string() const;
};

const char* system_color_name(SystemColor c);

// The colours that the logic writes and tests: one home for all of them.
namespace colors {
inline constexpr Color kWhite = Color::rgb(255, 255, 255);
inline constexpr Color kBlack = Color::rgb(0, 0, 0);
// Keys
inline constexpr Color kYellow = Color::rgb(255, 255, 17);
inline constexpr Color kLightBlue = Color::rgb(119, 187, 255);
inline constexpr Color kDarkBlue = Color::rgb(17, 68, 119);
inline constexpr Color kOrange = Color::rgb(255, 187, 17);
inline constexpr Color kDarkRed = Color::rgb(136, 17, 17);
// Drum pads
inline constexpr Color kPadLit = Color::rgb(187, 255, 119);
// Transport and demonstration buttons
inline constexpr Color kRunningGreen = Color::rgb(170, 255, 170);
inline constexpr Color kArmedRed = Color::rgb(255, 170, 170);
inline constexpr Color kAccompBlue = Color::rgb(170, 170, 255);
inline constexpr Color kDemoMagenta = Color::rgb(255, 17, 255);
inline constexpr Color kSyncDesign = Color::rgb(255, 224, 192);
// Instrument panel
inline constexpr Color kNameBlue = Color::rgb(0, 0, 192);
inline constexpr Color kNameEntryRed = Color::rgb(255, 17, 17);
inline constexpr Color kEntryBoxRed = Color::rgb(255, 51, 51);
inline constexpr Color kButtonFace = Color::of(SystemColor::ButtonFace);
inline constexpr Color kButtonHighlight = Color::of(SystemColor::ButtonHighlight);
inline constexpr Color kMenuText = Color::of(SystemColor::MenuText);
inline constexpr Color kWindowBackground = Color::of(SystemColor::WindowBackground);
inline constexpr Color kWindowText = Color::of(SystemColor::WindowText);
inline constexpr Color kButtonText = Color::of(SystemColor::ButtonText);
} // namespace colors

} // namespace varkelon
