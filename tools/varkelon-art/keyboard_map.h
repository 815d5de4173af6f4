// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace varkelon::art {

// A picture of a US computer keyboard: each key that plays a note shows the
// note (white or black as on the piano), F1 to F8 show their drum pads, the
// twelve chord keys of accompaniment mode are marked; with a legend in Russian
// and English.
QImage draw_keyboard_map();

} // namespace varkelon::art
