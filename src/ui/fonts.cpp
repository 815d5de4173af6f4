// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/fonts.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace varkelon {

namespace {

constexpr double kDesignDpi = 96.0;
constexpr double kPointsPerInch = 72.0;
// Narrower than this a face stops being legible.
constexpr int kMinStretch = 75;
constexpr int kStretchStep = 5;
constexpr double kMinWordSpacingPx = -1.5;

bool fits_wrapped(const QFont& font, const QString& text, int width, int height) {
    const QFontMetricsF m(font);
    const QRectF r = m.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text);
    return r.height() <= height && r.width() <= width;
}

template <typename Fits> QFont narrow_until(const QFont& font, Fits fits) {
    if (fits(font)) {
        return font;
    }
    QFont f = font;
    for (int stretch = 100 - kStretchStep; stretch >= kMinStretch; stretch -= kStretchStep) {
        f.setStretch(stretch);
        if (fits(f)) {
            return f;
        }
    }
    for (double spacing = -0.25; spacing >= kMinWordSpacingPx; spacing -= 0.25) {
        f.setWordSpacing(spacing);
        if (fits(f)) {
            return f;
        }
    }
    return f;
}

} // namespace

QFont design_font(double size_pt, bool bold) {
    QFont f(QString::fromLatin1(kFontFamily));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(static_cast<int>(std::lround(size_pt * kDesignDpi / kPointsPerInch)));
    f.setBold(bold);
    return f;
}

QFont design_font(const Font& font) {
    return design_font(font.size_pt, font.bold);
}

QFont fit_line(const QFont& font, const QString& text, int width) {
    return narrow_until(
        font, [&](const QFont& f) { return QFontMetricsF(f).horizontalAdvance(text) <= width; });
}

const QFont& FittedLine::font(const QFont& base, const QString& text, int width) {
    if (!fitted_once_ || width != width_ || text != text_ || base != base_) {
        fitted_once_ = true;
        base_ = base;
        text_ = text;
        width_ = width;
        fitted_ = fit_line(base, text, width);
    }
    return fitted_;
}

QFont fit_wrapped(const QFont& font, const QString& text, int width, int height) {
    return narrow_until(font, [&](const QFont& f) { return fits_wrapped(f, text, width, height); });
}

QFont fit_wrapped(const QFont& font, const std::vector<WrappedText>& texts) {
    return narrow_until(font, [&](const QFont& f) {
        return std::all_of(texts.begin(), texts.end(), [&](const WrappedText& t) {
            return fits_wrapped(f, t.text, t.width, t.height);
        });
    });
}

} // namespace varkelon
