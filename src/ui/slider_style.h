// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The look of the four sliders (octave and the three levels). At the heights
// the layout fixes (9 and 17 pixels) the desktop style's thumb hardly stands
// out from its track; this one draws a flat track, a thumb of at least 3 : 1
// contrast against it, and arrow buttons, in the colours of the palette.

#include <QProxyStyle>

namespace varkelon {

class SliderStyle final : public QProxyStyle {
    Q_OBJECT
public:
    SliderStyle();
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
};

} // namespace varkelon
