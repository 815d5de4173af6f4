// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bitmaps.h"

#include "app/controls.h"
#include "ui/palette_colors.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>
#include <QRadialGradient>

#include <array>

namespace varkelon {

namespace {

constexpr int kDigitCount = 10;
constexpr int kLampCount = 4;

// Segments a..g of each digit, bit 0 = a.
constexpr std::array<unsigned, kDigitCount> kSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                         0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// The seven segments on the 14 x 17 grid, each a small hexagon-ended bar.
QPolygon segment(int s) {
    switch (s) {
    case 0: // a, top
        return QPolygon({QPoint(4, 1), QPoint(10, 1), QPoint(11, 2), QPoint(10, 3), QPoint(4, 3),
                         QPoint(3, 2)});
    case 1: // b, upper right
        return QPolygon({QPoint(11, 3), QPoint(12, 4), QPoint(12, 7), QPoint(11, 8), QPoint(10, 7),
                         QPoint(10, 4)});
    case 2: // c, lower right
        return QPolygon({QPoint(11, 9), QPoint(12, 10), QPoint(12, 13), QPoint(11, 14),
                         QPoint(10, 13), QPoint(10, 10)});
    case 3: // d, bottom
        return QPolygon({QPoint(4, 14), QPoint(10, 14), QPoint(11, 15), QPoint(10, 16),
                         QPoint(4, 16), QPoint(3, 15)});
    case 4: // e, lower left
        return QPolygon({QPoint(2, 9), QPoint(3, 10), QPoint(3, 13), QPoint(2, 14), QPoint(1, 13),
                         QPoint(1, 10)});
    case 5: // f, upper left
        return QPolygon(
            {QPoint(2, 3), QPoint(3, 4), QPoint(3, 7), QPoint(2, 8), QPoint(1, 7), QPoint(1, 4)});
    default: // g, middle
        return QPolygon({QPoint(4, 7), QPoint(10, 7), QPoint(11, 8), QPoint(10, 9), QPoint(4, 9),
                         QPoint(3, 8)});
    }
}

// A pixmap of the given size in device-independent pixels, at the screen's
// pixel density, so the bitmaps stay sharp on high-density screens.
QPixmap canvas(int width, int height) {
    const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    QPixmap pm(QSize(width, height) * ratio);
    pm.setDevicePixelRatio(ratio);
    return pm;
}

} // namespace

QPixmap BitmapCache::draw_digit(int digit) {
    QPixmap pm = canvas(14, 17);
    pm.fill(Qt::black);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    const unsigned lit = kSegments[static_cast<std::size_t>(digit % kDigitCount)];
    for (int s = 0; s < 7; ++s) {
        // Unlit segments glow faintly, as on a real display.
        p.setBrush((lit >> s) & 1U ? QColor(255, 32, 32) : QColor(48, 0, 0));
        p.drawPolygon(segment(s));
    }
    return pm;
}

QPixmap BitmapCache::draw_lamps(int lit) {
    QPixmap pm = canvas(15, 76);
    pm.fill(QColor(24, 24, 24));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    constexpr double kPitch = 76.0 / kLampCount;
    for (int i = 0; i < kLampCount; ++i) {
        // Lamp 1 (beat 1) at the bottom, lamp 4 at the top.
        const QPointF centre(7.5, 76.0 - kPitch * (i + 0.5));
        const bool on = lit == i + 1;
        QRadialGradient g(centre - QPointF(1.5, 1.5), 6.5);
        g.setColorAt(0.0, on ? QColor(200, 255, 200) : QColor(30, 90, 30));
        g.setColorAt(0.5, on ? QColor(40, 230, 40) : QColor(10, 60, 10));
        g.setColorAt(1.0, on ? QColor(0, 140, 0) : QColor(0, 35, 0));
        p.setBrush(g);
        p.setPen(QPen(QColor(0, 0, 0), 1.0));
        p.drawEllipse(centre, 5.5, 5.5);
    }
    return pm;
}

QPixmap BitmapCache::draw_arrow(bool right, const QColor& colour) {
    QPixmap pm = canvas(15, 15);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QPolygonF triangle = right
                                   ? QPolygonF({QPointF(4, 2), QPointF(12, 7.5), QPointF(4, 13)})
                                   : QPolygonF({QPointF(11, 2), QPointF(3, 7.5), QPointF(11, 13)});
    p.drawPolygon(triangle);
    return pm;
}

QPixmap BitmapCache::draw_photo() {
    constexpr int kW = 210;
    constexpr int kH = 78;
    QPixmap pm = canvas(kW, kH);
    pm.fill(QColor(236, 236, 236));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    // The instrument's body, seen slightly from above, with a soft shadow.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(QRectF(6, 14, 200, 60), 6, 6);
    QLinearGradient body(0, 8, 0, 70);
    body.setColorAt(0.0, QColor(70, 72, 80));
    body.setColorAt(1.0, QColor(22, 22, 26));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 10, 202, 60), 6, 6);

    // Control panel: a display, speaker grilles and rows of buttons.
    p.setBrush(QColor(20, 40, 30));
    p.drawRect(QRectF(82, 15, 46, 12));
    p.setPen(QColor(90, 255, 140));
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(82, 15, 46, 12), Qt::AlignCenter, QStringLiteral("001"));
    p.setPen(Qt::NoPen);
    for (int side = 0; side < 2; ++side) {
        const double x0 = side == 0 ? 10 : 166;
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < 10; ++col) {
                p.setBrush(QColor(8, 8, 10));
                p.drawEllipse(QPointF(x0 + col * 3.4, 15.5 + row * 3.2), 1.0, 1.0);
            }
        }
    }
    const QColor buttons[] = {QColor(230, 60, 50), QColor(240, 200, 40), QColor(80, 170, 240),
                              QColor(220, 220, 220)};
    for (int i = 0; i < 8; ++i) {
        p.setBrush(buttons[i % 4]);
        p.drawRoundedRect(QRectF(48 + i * 3.9, 17 + (i % 2) * 5, 3, 3), 0.8, 0.8);
        p.drawRoundedRect(QRectF(133 + i * 3.9, 17 + (i % 2) * 5, 3, 3), 0.8, 0.8);
    }

    // The keyboard: 29 white keys with the black keys of a piano pattern.
    const QRectF keys(8, 33, 194, 33);
    p.setBrush(QColor(10, 10, 10));
    p.drawRect(keys.adjusted(-1, -1, 1, 1));
    constexpr int kWhite = 29;
    const double w = keys.width() / kWhite;
    for (int i = 0; i < kWhite; ++i) {
        QLinearGradient g(0, keys.top(), 0, keys.bottom());
        g.setColorAt(0.0, QColor(215, 215, 215));
        g.setColorAt(1.0, QColor(255, 255, 255));
        p.setBrush(g);
        p.drawRect(QRectF(keys.left() + i * w + 0.3, keys.top(), w - 0.6, keys.height()));
    }
    p.setBrush(QColor(15, 15, 15));
    for (int i = 0; i < kWhite - 1; ++i) {
        const int pos = i % 7; // C D E F G A B
        if (pos == 2 || pos == 6) {
            continue; // no black key between E-F and B-C
        }
        p.drawRect(
            QRectF(keys.left() + (i + 1) * w - w * 0.3, keys.top(), w * 0.6, keys.height() * 0.6));
    }
    return pm;
}

namespace {

// The icon on its 32 x 32 design grid; larger renderings scale the grid, so
// every size is the same picture, drawn sharp rather than blown up.
void paint_icon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawRoundedRect(QRectF(0.5, 4.5, 31, 23), 3, 3);
    p.setBrush(QColor(255, 60, 40));
    p.drawRect(QRectF(4, 7, 9, 3));
    p.setBrush(QColor(90, 220, 90));
    p.drawEllipse(QPointF(24, 8.5), 1.6, 1.6);
    p.drawEllipse(QPointF(28, 8.5), 1.6, 1.6);
    const QRectF keys(3, 12, 26, 13);
    for (int i = 0; i < 7; ++i) {
        p.setBrush(Qt::white);
        p.drawRect(
            QRectF(keys.left() + i * 26.0 / 7 + 0.3, keys.top(), 26.0 / 7 - 0.6, keys.height()));
    }
    p.setBrush(Qt::black);
    for (int i : {1, 2, 4, 5, 6}) {
        p.drawRect(QRectF(keys.left() + i * 26.0 / 7 - 1.1, keys.top(), 2.2, 8));
    }
}

constexpr int kIconGrid = 32;

} // namespace

QPixmap BitmapCache::draw_icon() {
    QPixmap pm = canvas(kIconGrid, kIconGrid);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint_icon(p);
    return pm;
}

QImage BitmapCache::render_icon(int size_px) {
    QImage image(size_px, size_px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size_px / double(kIconGrid), size_px / double(kIconGrid));
    paint_icon(p);
    return image;
}

const QPixmap& BitmapCache::picture(int number) {
    if (const auto it = cache_.find(number); it != cache_.end()) {
        return it->second;
    }
    QPixmap pm;
    if (number >= pictures::kDigit0 && number < pictures::kDigit0 + kDigitCount) {
        pm = draw_digit(number - pictures::kDigit0);
    } else if (number >= pictures::kLampsDark && number <= pictures::kLampsDark + kLampCount) {
        pm = draw_lamps(number - pictures::kLampsDark);
    } else if (number == pictures::kArrowLeft || number == pictures::kArrowRight) {
        // Dark on the buttons of a light theme; as light as it must be to
        // show on those of a dark one.
        const QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
        pm =
            draw_arrow(number == pictures::kArrowRight, readable_on(QColor(32, 32, 32), face, 4.5));
    } else if (number == pictures::kPhoto) {
        pm = draw_photo();
    } else {
        return none_;
    }
    return cache_.emplace(number, std::move(pm)).first->second;
}

const QIcon& BitmapCache::window_icon() {
    if (icon_.isNull()) {
        icon_ = QIcon{draw_icon()};
        // Larger renderings for docks, task switchers and high-density screens.
        for (const int size : kIconSizes) {
            if (size > kIconGrid) {
                icon_.addPixmap(QPixmap::fromImage(render_icon(size)));
            }
        }
    }
    return icon_;
}

} // namespace varkelon
