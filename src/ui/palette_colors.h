// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/color.h"

#include <QColor>
#include <QPalette>

namespace varkelon {

// A model colour on screen: exact RGB values as they are, system colours
// from the palette of the desktop theme.
QColor to_qcolor(const Color& color, const QPalette& palette);

// The palette of the 37 keys, whatever the desktop theme: they are an
// instrument's keys, white and black, and their colours are state the
// logic reads back, so they stay exact under a dark theme too.
QPalette piano_palette();

// The contrast ratio of two colours, 1 to 21, as the accessibility
// guidelines (WCAG 2) define it from their relative luminance.
double contrast_ratio(const QColor& a, const QColor& b);

// `fore` if it stands out from `back` by at least `min_ratio`, else `fore`
// blended just far enough toward white or black (whichever contrasts more
// with `back`) to reach it. The design's text colours presuppose a light
// theme; on a dark one this keeps them readable and close to their hue.
QColor readable_on(const QColor& fore, const QColor& back, double min_ratio = 3.0);

// A text colour of the design on its background: kept where it reads (on a
// light theme, every one of them), else lifted to 4.5 : 1, the ratio for
// body text.
QColor legible_text(const QColor& fore, const QColor& back);

// The colours of the sliders: a track, and a thumb that stands out from it
// by at least 3 : 1 on any theme; the edge outlines thumb and arrow buttons.
struct SliderColors {
    QColor track;
    QColor thumb;
    QColor edge;
    QColor button;
    QColor arrow;
};
SliderColors slider_colors(const QPalette& palette);

} // namespace varkelon
