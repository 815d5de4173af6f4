// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyboard_map.h"

#include "app/color.h"
#include "app/layout.h"
#include "app/main_window.h"
#include "keyboard/virtual_keys.h"
#include "ui/key_codes.h"

#include <QFont>
#include <QPainter>
#include <QString>

#include <array>
#include <vector>

namespace varkelon::art {

namespace {

// One key of the picture: its Linux evdev code, US legend and width in key units.
struct PhysicalKey {
    int evdev;
    const char* legend;
    double width = 1.0;
};
// The rows of a US keyboard; a code of 0 is a gap.
const std::vector<std::vector<PhysicalKey>> kRows = {
    {{1, "Esc"},
     {0, "", 1.0},
     {59, "F1"},
     {60, "F2"},
     {61, "F3"},
     {62, "F4"},
     {0, "", 0.5},
     {63, "F5"},
     {64, "F6"},
     {65, "F7"},
     {66, "F8"},
     {0, "", 0.5},
     {67, "F9"},
     {68, "F10"},
     {87, "F11"},
     {88, "F12"}},
    {{41, "`"},
     {2, "1"},
     {3, "2"},
     {4, "3"},
     {5, "4"},
     {6, "5"},
     {7, "6"},
     {8, "7"},
     {9, "8"},
     {10, "9"},
     {11, "0"},
     {12, "-"},
     {13, "="},
     {14, "Backspace", 2.0}},
    {{15, "Tab", 1.5},
     {16, "Q"},
     {17, "W"},
     {18, "E"},
     {19, "R"},
     {20, "T"},
     {21, "Y"},
     {22, "U"},
     {23, "I"},
     {24, "O"},
     {25, "P"},
     {26, "["},
     {27, "]"},
     {43, "\\", 1.5}},
    {{58, "Caps Lock", 1.75},
     {30, "A"},
     {31, "S"},
     {32, "D"},
     {33, "F"},
     {34, "G"},
     {35, "H"},
     {36, "J"},
     {37, "K"},
     {38, "L"},
     {39, ";"},
     {40, "'"},
     {28, "Enter", 2.25}},
    {{42, "Shift", 2.25},
     {44, "Z"},
     {45, "X"},
     {46, "C"},
     {47, "V"},
     {48, "B"},
     {49, "N"},
     {50, "M"},
     {51, ","},
     {52, "."},
     {53, "/"},
     {54, "Shift", 2.75}},
};

const std::array<const char*, 12> kNoteNames = {"C",  "C♯", "D",  "D♯", "E",  "F",
                                                "F♯", "G",  "G♯", "A",  "A♯", "B"};

constexpr int kUnit = 64; // one key unit, pixels
constexpr int kGapPx = 4; // between keys
constexpr int kMargin = 16;
constexpr int kRowGapPx = 10; // below the function-key row
constexpr int kLegendHeight = 120;

QColor qcolor(const Color& c) {
    return {c.r, c.g, c.b};
}

QFont face(int pixel_size, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixel_size);
    f.setBold(bold);
    return f;
}

// The virtual key that a physical key plays, through the same two steps as a
// key press: X11 keycode to virtual-key code, then the key map.
int virtual_key_of(int evdev) {
    return Form1::map_key_code(vk_from_x11_keycode(static_cast<quint32>(evdev + 8)));
}

void draw_cap(QPainter& p, const QRect& r, const QColor& fill, const QColor& edge) {
    p.setPen(QPen(edge, 1.5));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

void draw_key(QPainter& p, const PhysicalKey& k, const QRect& r) {
    const int vk = vk_from_x11_keycode(static_cast<quint32>(k.evdev + 8));
    const int index = virtual_key_of(k.evdev);
    if (index != kNoKey) {
        const bool black = is_black_key(index);
        const QColor fill = black ? QColor(24, 24, 24) : QColor(Qt::white);
        const QColor text = black ? QColor(Qt::white) : QColor(Qt::black);
        draw_cap(p, r, fill, QColor(60, 60, 60));
        p.setPen(text);
        p.setFont(face(13, true));
        p.drawText(r.adjusted(7, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromUtf8(kKeyCaptions[static_cast<std::size_t>(index)]));
        // The note, and the octave its tooltip gives at "Октава = 0".
        p.setFont(face(22, true));
        p.drawText(r.adjusted(0, 10, -12, 0), Qt::AlignCenter,
                   QString::fromUtf8(kNoteNames[static_cast<std::size_t>(index % 12)]));
        p.setFont(face(12));
        p.drawText(r.adjusted(0, 0, -6, -5), Qt::AlignRight | Qt::AlignBottom,
                   QString::number(index / 12));
        if (index < kChordKeyCount) {
            p.setPen(Qt::NoPen);
            p.setBrush(qcolor(colors::kYellow));
            p.drawRect(QRect(r.left() + 8, r.bottom() - 7, r.width() / 2 - 8, 5));
        }
        return;
    }
    if (vk >= vk::kF1 && vk <= vk::kF8) {
        draw_cap(p, r, QColor(214, 232, 214), QColor(60, 90, 60));
        p.setPen(QColor(0, 90, 90));
        p.setFont(face(13, true));
        p.drawText(r.adjusted(7, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromUtf8(k.legend));
        p.setPen(Qt::black);
        p.setFont(face(10));
        p.drawText(r.adjusted(3, 20, -3, -3), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromUtf8(kPadCaptions[static_cast<std::size_t>(vk - vk::kF1)]));
        return;
    }
    draw_cap(p, r, QColor(226, 226, 226), QColor(170, 170, 170));
    p.setPen(QColor(120, 120, 120));
    p.setFont(face(k.width > 1.0 ? 11 : 13));
    p.drawText(r.adjusted(7, 4, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(k.legend));
}

} // namespace

QImage draw_keyboard_map() {
    double row_units = 0;
    for (const auto& row : kRows) {
        double w = 0;
        for (const PhysicalKey& k : row) {
            w += k.width;
        }
        row_units = std::max(row_units, w);
    }
    const int width = 2 * kMargin + static_cast<int>(row_units * kUnit);
    const int keys_height = static_cast<int>(kRows.size()) * kUnit + kRowGapPx;
    const int height = 2 * kMargin + keys_height + kLegendHeight;

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(246, 246, 246));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    int y = kMargin;
    for (std::size_t row = 0; row < kRows.size(); ++row) {
        double x = kMargin;
        for (const PhysicalKey& k : kRows[row]) {
            const int w = static_cast<int>(k.width * kUnit);
            if (k.evdev != 0) {
                draw_key(p, k, QRect(static_cast<int>(x), y, w - kGapPx, kUnit - kGapPx));
            }
            x += w;
        }
        y += kUnit + (row == 0 ? kRowGapPx : 0);
    }

    // The legend, in Russian and then in English.
    y += 8;
    const int swatch = 18;
    struct Line {
        QColor fill;
        bool stripe;
        const char* text;
    };
    const Line lines[] = {
        {Qt::white, false,
         "Белая или чёрная клавиша — нота; число — октава, как в подсказке клавиши при «Октава = "
         "0».  White or black: the note it plays; the digit is its octave as the key's tooltip "
         "shows it at octave 0."},
        {Qt::white, true,
         "Жёлтая полоска — в режиме «Аккомпанемент» клавиша задаёт аккорд (с Shift — минорный).  "
         "Yellow stripe: in accompaniment mode the key picks the chord (minor with Shift)."},
        {QColor(214, 232, 214), false,
         "F1–F8 — ударные инструменты.  F1 to F8: the eight drum pads. Keys play by position, on "
         "any keyboard layout."},
    };
    for (const Line& l : lines) {
        const QRect box(kMargin, y, swatch * 2, swatch + 8);
        draw_cap(p, box, l.fill, QColor(60, 60, 60));
        if (l.stripe) {
            p.setPen(Qt::NoPen);
            p.setBrush(qcolor(colors::kYellow));
            p.drawRect(QRect(box.left() + 5, box.bottom() - 6, box.width() / 2, 4));
        }
        p.setPen(Qt::black);
        p.setFont(face(12));
        p.drawText(
            QRect(kMargin + swatch * 2 + 10, y, width - 3 * kMargin - swatch * 2, swatch + 8),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, QString::fromUtf8(l.text));
        y += swatch + 14;
    }
    return image;
}

} // namespace varkelon::art
