// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's bitmaps, drawn in code once and kept: the seven-segment
// digits (200-209), the bar-indicator lamps (220-224), the two arrows, the
// decorative photograph and the window icon.

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <map>

namespace varkelon {

class BitmapCache {
public:
    // The bitmap of a picture number; a null pixmap for 0 or an unknown number.
    const QPixmap& picture(int number);
    const QIcon& window_icon(); // shared by the three windows

    static QPixmap draw_digit(int digit); // 14 x 17
    static QPixmap draw_lamps(int lit);   // 15 x 76; lit 0 = none, 1 = bottom .. 4 = top
    static QPixmap draw_arrow(bool right, const QColor& colour); // 15 x 15
    static QPixmap draw_photo();                                 // 210 x 78
    static QPixmap draw_icon();                                  // 32 x 32
    // The icon at any size in pixels (for the icon theme and large screens).
    static QImage render_icon(int size_px);
    // The sizes installed in the hicolor icon theme.
    static constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

private:
    std::map<int, QPixmap> cache_;
    QPixmap none_;
    QIcon icon_; // null until first asked for
};

} // namespace varkelon
