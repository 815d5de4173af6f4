// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A window position read from the settings may lie off every screen (a
// monitor was removed, the file was edited): such a window would be lost. And
// a position that suited one screen may leave part of a window off another
// (a smaller screen, a larger scale factor): its buttons would be out of reach.

#include <QList>
#include <QRect>

namespace varkelon {

// True when no screen shows enough of `window` (pixels) to see and grab it.
bool lost_off_screen(const QRect& window, const QList<QRect>& available_screens);

// Where a window whose outer frame is `frame` must stand to lie wholly on
// the screen that shows most of it (the first screen when none shows any):
// moved just far enough on each axis. A window larger than the screen keeps
// its top-left corner, with the title bar, on the screen.
QPoint fit_on_screen(const QRect& frame, const QList<QRect>& available_screens);

// The available geometries of the screens now attached.
QList<QRect> available_screen_geometries();

} // namespace varkelon
