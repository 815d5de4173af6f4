#pragma once

// A window position read from the settings may lie off every screen (a
// monitor was removed, the file was edited): such a window would be lost.

#include <QList>
#include <QRect>

namespace varkelon {

// True when no screen shows enough of `window` (pixels) to see and grab it.
bool lost_off_screen(const QRect& window, const QList<QRect>& available_screens);

// The available geometries of the screens now attached.
QList<QRect> available_screen_geometries();

} // namespace varkelon
