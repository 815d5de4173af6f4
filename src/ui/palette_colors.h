#pragma once

#include "app/color.h"

#include <QColor>
#include <QPalette>

namespace varkelon {

// A model colour on screen: exact RGB values as they are, system colours
// from the palette of the desktop theme.
QColor to_qcolor(const Color& color, const QPalette& palette);

} // namespace varkelon
