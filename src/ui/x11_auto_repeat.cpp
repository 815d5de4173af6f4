// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/x11_auto_repeat.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace varkelon {

bool request_detectable_auto_repeat() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr) {
        return false;
    }
    Bool supported = False;
    XkbSetDetectableAutoRepeat(x11->display(), True, &supported);
    return supported == True;
}

} // namespace varkelon
