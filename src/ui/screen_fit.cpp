// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

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

QPoint fit_on_screen(const QRect& frame, const QList<QRect>& available_screens) {
    if (available_screens.isEmpty()) {
        return frame.topLeft();
    }
    QRect screen = available_screens.front();
    long long best = 0;
    for (const QRect& s : available_screens) {
        const QRect seen = frame.intersected(s);
        const long long area = seen.isEmpty() ? 0 : 1LL * seen.width() * seen.height();
        if (area > best) {
            best = area;
            screen = s;
        }
    }
    // The far edge first, then the near one: the near edge wins when the
    // window is larger than the screen.
    int x = std::min(frame.left(), screen.left() + screen.width() - frame.width());
    int y = std::min(frame.top(), screen.top() + screen.height() - frame.height());
    x = std::max(x, screen.left());
    y = std::max(y, screen.top());
    return {x, y};
}

QList<QRect> available_screen_geometries() {
    QList<QRect> out;
    for (const QScreen* s : QGuiApplication::screens()) {
        out.append(s->availableGeometry());
    }
    return out;
}

} // namespace varkelon
