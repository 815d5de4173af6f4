#include "ui/palette_colors.h"

namespace varkelon {

QColor to_qcolor(const Color& color, const QPalette& palette) {
    if (!color.is_system) {
        return {color.r, color.g, color.b};
    }
    switch (color.system) {
    case SystemColor::ButtonFace:
        return palette.color(QPalette::Active, QPalette::Button);
    case SystemColor::ButtonHighlight:
        // The lit edge of a 3D button: white on a light theme.
        return palette.color(QPalette::Active, QPalette::Light);
    case SystemColor::MenuText:
        return palette.color(QPalette::Active, QPalette::WindowText);
    case SystemColor::WindowBackground:
        return palette.color(QPalette::Active, QPalette::Base);
    case SystemColor::WindowText:
        return palette.color(QPalette::Active, QPalette::Text);
    case SystemColor::ButtonText:
        return palette.color(QPalette::Active, QPalette::ButtonText);
    }
    return palette.color(QPalette::Active, QPalette::Button);
}

} // namespace varkelon
