// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/color.h"

namespace varkelon {

const char* system_color_name(SystemColor c) {
    switch (c) {
    case SystemColor::ButtonFace:
        return "ButtonFace";
    case SystemColor::ButtonHighlight:
        return "ButtonHighlight";
    case SystemColor::MenuText:
        return "MenuText";
    case SystemColor::WindowBackground:
        return "WindowBackground";
    case SystemColor::WindowText:
        return "WindowText";
    case SystemColor::ButtonText:
        return "ButtonText";
    }
    return "?";
}

std::string Color::to_string() const {
    if (is_system) {
        return system_color_name(system);
    }
    return "RGB(" + std::to_string(r) + ", " + std::to_string(g) + ", " + std::to_string(b) + ")";
}

} // namespace varkelon
