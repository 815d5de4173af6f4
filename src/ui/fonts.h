// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/controls.h"

#include <QFont>
#include <QString>

#include <vector>

namespace varkelon {

// The sans-serif face with Cyrillic that stands for the design font: PT Sans
// (Debian package fonts-paratype), made for the languages of Russia. Its
// letters are narrow enough that the design's widest one-line texts, such as
// "аккомпанемент = 100 ", fit their boxes at the design's size, so labels
// that belong together show one size; a wider fallback face gets narrowed.
inline constexpr const char* kFontFamily = "PT Sans";

// A design font in pixels at 96 dpi, so that text keeps its size relative to
// the fixed pixel geometry whatever the X server's DPI; Qt scales pixels on
// HiDPI screens.
QFont design_font(const Font& font);
QFont design_font(double size_pt, bool bold);

// A copy of `font` narrowed just enough for `text` to fit `width` pixels on
// one line: the face differs from the design face in width, and the design
// positions text by the original's metrics. Condenses the glyphs first, then
// the blanks; returns `font` unchanged when the text fits.
QFont fit_line(const QFont& font, const QString& text, int width);

// fit_line() for a widget that paints one line: the fitted font is kept until
// the text, the widget's font or the width changes, since fitting measures
// the text in up to eleven fonts, too many for every paint.
class FittedLine {
public:
    const QFont& font(const QFont& base, const QString& text, int width);

private:
    bool fitted_once_ = false;
    QFont base_;
    QString text_;
    int width_ = 0;
    QFont fitted_;
};

// The same for text wrapped at word boundaries within `width` x `height`.
QFont fit_wrapped(const QFont& font, const QString& text, int width, int height);

// One font for several wrapped texts, so that they look alike: narrowed as
// much as the text that needs it most.
struct WrappedText {
    QString text;
    int width = 0;
    int height = 0;
};
QFont fit_wrapped(const QFont& font, const std::vector<WrappedText>& texts);

} // namespace varkelon
