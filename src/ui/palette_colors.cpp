// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/palette_colors.h"

#include <algorithm>
#include <cmath>

namespace varkelon {

QColor to_qcolor(const Color& color, const QPalette& palette) {
    if (!color.is_system) {
        return {color.r, color.g, color.b};
    }
    switch (color.system) {
    case SystemColor::ButtonFace:
        return palette.color(QPalette::Active, QPalette::Button);
    case SystemColor::ButtonHighlight:
        // The lit edge of a 3D button: white on a light theme.
        return palette.color(QPalette::Active, QPalette::Light);
    case SystemColor::MenuText:
        return palette.color(QPalette::Active, QPalette::WindowText);
    case SystemColor::WindowBackground:
        return palette.color(QPalette::Active, QPalette::Base);
    case SystemColor::WindowText:
        return palette.color(QPalette::Active, QPalette::Text);
    case SystemColor::ButtonText:
        return palette.color(QPalette::Active, QPalette::ButtonText);
    }
    return palette.color(QPalette::Active, QPalette::Button);
}

} // namespace varkelon

namespace varkelon {

namespace {

double channel_luminance(int c) {
    const double s = c / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * channel_luminance(c.red()) + 0.7152 * channel_luminance(c.green()) +
           0.0722 * channel_luminance(c.blue());
}

QColor blend(const QColor& a, const QColor& b, double t) {
    auto mix = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return {mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue())};
}

} // namespace

QPalette piano_palette() {
    // Qt derives the rest from the button colour: Light is white, the
    // texts black, the bevel's shades grey.
    return {QColor(239, 239, 239)};
}

double contrast_ratio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readable_on(const QColor& fore, const QColor& back, double min_ratio) {
    if (contrast_ratio(fore, back) >= min_ratio) {
        return fore;
    }
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    const QColor& far = contrast_ratio(white, back) >= contrast_ratio(black, back) ? white : black;
    constexpr int kSteps = 40;
    for (int i = 1; i <= kSteps; ++i) {
        const QColor c = blend(fore, far, i / double(kSteps));
        if (contrast_ratio(c, back) >= min_ratio) {
            return c;
        }
    }
    return far;
}

QColor legible_text(const QColor& fore, const QColor& back) {
    return contrast_ratio(fore, back) >= 3.0 ? fore : readable_on(fore, back, 4.5);
}

SliderColors slider_colors(const QPalette& palette) {
    const QColor face = palette.color(QPalette::Active, QPalette::Button);
    const QColor text = palette.color(QPalette::Active, QPalette::ButtonText);
    SliderColors c;
    c.track = blend(face, text, 0.12);
    c.thumb = readable_on(blend(face, text, 0.6), c.track, 3.0);
    c.edge = blend(face, text, 0.75);
    c.button = face;
    c.arrow = text;
    return c;
}

} // namespace varkelon
