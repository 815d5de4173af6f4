// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Key events as the core expects them: the Windows virtual-key code of the
// physical key and the modifier mask. The code comes from the key's position,
// not from the character the layout gives it, so the keyboard plays by
// position on any layout (US, Russian, German, ...).

#include <QtGlobal>
#include <qnamespace.h>

class QKeyEvent;

namespace varkelon {

// The virtual-key code of an X11 keycode (evdev code + 8); 0 when unknown.
int vk_from_x11_keycode(quint32 keycode);

// The virtual-key code of a Qt::Key, for events that carry no native keycode
// (offscreen platform, some input methods). Cyrillic letters of the standard
// Russian layout map to the key they sit on; 0 when unknown.
int vk_from_qt_key(int qt_key, bool keypad);

// The code of an event: from its native keycode when it has one.
int vk_of(const QKeyEvent& event);

// Shift 1, Ctrl 2, Alt 4.
int modifier_mask(Qt::KeyboardModifiers modifiers);

} // namespace varkelon
