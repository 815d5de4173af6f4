#include "ui/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>

namespace varkelon {

namespace {

// A sliver thinner than this cannot be grabbed with the mouse.
constexpr int kMinVisiblePx = 24;

} // namespace

bool lost_off_screen(const QRect& window, const QList<QRect>& available_screens) {
    for (const QRect& screen : available_screens) {
        const QRect seen = window.intersected(screen);
        if (seen.width() >= std::min(kMinVisiblePx, window.width()) &&
            seen.height() >= std::min(kMinVisiblePx, window.height())) {
            return false;
        }
    }
    return true;
}

QList<QRect> available_screen_geometries() {
    QList<QRect> out;
    for (const QScreen* s : QGuiApplication::screens()) {
        out.append(s->availableGeometry());
    }
    return out;
}

} // namespace varkelon
