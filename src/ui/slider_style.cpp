// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/slider_style.h"

#include "ui/palette_colors.h"

#include <QPainter>
#include <QPolygonF>
#include <QStyleOptionSlider>

namespace varkelon {

namespace {

void draw_arrow_button(QPainter& p, const QRect& r, const SliderColors& c, bool right, bool sunken,
                       bool enabled) {
    if (r.isEmpty()) {
        return;
    }
    p.fillRect(r, sunken ? c.track : c.button);
    p.setPen(c.edge);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
    // A triangle half the button's height, centred.
    const double h = std::max(3.0, r.height() * 0.5);
    const double w = h * 0.6;
    const QPointF m = QRectF(r).center();
    const QPolygonF triangle =
        right ? QPolygonF({QPointF(m.x() - w / 2, m.y() - h / 2), QPointF(m.x() + w / 2, m.y()),
                           QPointF(m.x() - w / 2, m.y() + h / 2)})
              : QPolygonF({QPointF(m.x() + w / 2, m.y() - h / 2), QPointF(m.x() - w / 2, m.y()),
                           QPointF(m.x() + w / 2, m.y() + h / 2)});
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? c.arrow : c.edge);
    p.drawPolygon(triangle);
}

} // namespace

SliderStyle::SliderStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

void SliderStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     QPainter* painter, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || bar == nullptr || bar->orientation != Qt::Horizontal) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const SliderColors c = slider_colors(bar->palette);
    const bool enabled = (bar->state & State_Enabled) != 0;
    const bool sunken = (bar->state & State_Sunken) != 0;
    auto rect_of = [&](SubControl sc) { return subControlRect(control, bar, sc, widget); };

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->fillRect(bar->rect, c.track);
    draw_arrow_button(*painter, rect_of(SC_ScrollBarSubLine), c, false,
                      sunken && (bar->activeSubControls & SC_ScrollBarSubLine) != 0, enabled);
    draw_arrow_button(*painter, rect_of(SC_ScrollBarAddLine), c, true,
                      sunken && (bar->activeSubControls & SC_ScrollBarAddLine) != 0, enabled);
    const QRect thumb = rect_of(SC_ScrollBarSlider);
    if (!thumb.isEmpty() && enabled) {
        painter->fillRect(thumb, c.thumb);
        painter->setPen(c.edge);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(thumb).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter->restore();
}

} // namespace varkelon
