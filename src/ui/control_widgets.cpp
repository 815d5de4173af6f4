// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/control_widgets.h"

#include "ui/fonts.h"
#include "ui/palette_colors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace varkelon {

namespace {

// The classic raised (or, pressed, sunken) two-pixel bevel of a button.
void draw_bevel(QPainter& p, const QRect& r, const QPalette& pal, bool sunken) {
    const QColor light = pal.color(QPalette::Light);
    const QColor midlight = pal.color(QPalette::Midlight);
    const QColor dark = pal.color(QPalette::Dark);
    const QColor shadow = pal.color(QPalette::Shadow);
    const QColor outer_tl = sunken ? shadow : light;
    const QColor outer_br = sunken ? light : shadow;
    const QColor inner_tl = sunken ? dark : midlight;
    const QColor inner_br = sunken ? midlight : dark;
    const int l = r.left();
    const int t = r.top();
    const int rt = r.right();
    const int b = r.bottom();
    p.setPen(outer_tl);
    p.drawLine(l, t, rt - 1, t);
    p.drawLine(l, t, l, b - 1);
    p.setPen(outer_br);
    p.drawLine(l, b, rt, b);
    p.drawLine(rt, t, rt, b);
    p.setPen(inner_tl);
    p.drawLine(l + 1, t + 1, rt - 2, t + 1);
    p.drawLine(l + 1, t + 1, l + 1, b - 2);
    p.setPen(inner_br);
    p.drawLine(l + 1, b - 1, rt - 1, b - 1);
    p.drawLine(rt - 1, t + 1, rt - 1, b - 1);
}

void draw_focus_rect(QPainter& p, const QRect& r, const QColor& colour) {
    QPen pen(colour);
    pen.setStyle(Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

// A greyed text still has to be read: the theme's disabled colour, darkened
// or lightened just enough to stand 3 : 1 from the exact back colour it is on.
QColor disabled_text(const QColor& theme_disabled, const QColor& back) {
    return readable_on(theme_disabled, back, 3.0);
}

} // namespace

// ---------------------------------------------------------------- ButtonWidget

ButtonWidget::ButtonWidget(Role role, QWidget* parent) : QAbstractButton(parent), role_(role) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ButtonWidget::set_caption(const QString& caption) {
    if (caption != caption_) {
        caption_ = caption;
        update();
    }
}

void ButtonWidget::set_colors(const QColor& back, const QColor& fore) {
    if (back != back_ || fore != fore_) {
        back_ = back;
        fore_ = fore;
        update();
    }
}

void ButtonWidget::set_picture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ButtonWidget::set_pressed_in(bool pressed) {
    if (pressed != pressed_in_) {
        pressed_in_ = pressed;
        update();
    }
}

QColor ButtonWidget::caption_color() const {
    return isEnabled()
               ? fore_
               : disabled_text(palette().color(QPalette::Disabled, QPalette::ButtonText), back_);
}

void ButtonWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const bool sunken = role_ == Role::Key ? pressed_in_ : isDown();
    p.fillRect(r, back_);
    draw_bevel(p, r, palette(), sunken);
    const int shift = sunken ? 1 : 0; // the face moves in when pressed
    const QRect face = r.adjusted(3 + shift, 3 + shift, -3 + shift, -3 + shift);

    if (!picture_.isNull()) {
        QPixmap pm = picture_;
        if (!isEnabled()) {
            QStyleOption opt;
            opt.initFrom(this);
            pm = style()->generatedIconPixmap(QIcon::Disabled, pm, &opt);
        }
        const QSize s = pm.deviceIndependentSize().toSize();
        p.drawPixmap(
            QPoint(face.center().x() - s.width() / 2 + 1, face.center().y() - s.height() / 2 + 1),
            pm);
    }
    if (!caption_.isEmpty()) {
        // Inside the focus frame, which runs along the face's edge: the
        // frame must not cross the caption.
        const QRect inner = face.adjusted(kFocusGapPx, 0, -kFocusGapPx, 0);
        p.setFont(caption_font_.font(font(), caption_, inner.width()));
        p.setPen(caption_color());
        // A key's caption sits low on the key, as on a piano.
        const Qt::Alignment align =
            role_ == Role::Key ? (Qt::AlignHCenter | Qt::AlignBottom) : Qt::AlignCenter;
        const QRect text_rect = role_ == Role::Key ? inner.adjusted(0, 0, 0, -2) : inner;
        p.drawText(text_rect, align | Qt::TextSingleLine, caption_);
    }
    if (hasFocus()) {
        // A contrasting dotted rectangle, visible on light and dark keys alike.
        draw_focus_rect(p, r.adjusted(3, 3, -3, -3),
                        back_.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black));
    }
}

// A key reports its presses through the router and shows the model's value:
// the mouse gives it the focus but never toggles or clicks it.
void ButtonWidget::mousePressEvent(QMouseEvent* event) {
    if (role_ == Role::Key) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void ButtonWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (role_ == Role::Key) {
        event->accept();
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void ButtonWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (role_ == Role::Key) {
        event->accept();
        return;
    }
    QAbstractButton::mouseDoubleClickEvent(event);
}

void ButtonWidget::mouseMoveEvent(QMouseEvent* event) {
    if (role_ == Role::Key) {
        event->accept();
        return;
    }
    QAbstractButton::mouseMoveEvent(event);
}

// ----------------------------------------------------------------- FrameWidget

FrameWidget::FrameWidget(QWidget* parent) : QWidget(parent) {}

void FrameWidget::set_caption(const QString& caption) {
    if (caption != caption_) {
        caption_ = caption;
        update();
    }
}

void FrameWidget::set_colors(const QColor& back, const QColor& fore) {
    back_ = back;
    fore_ = fore;
    update();
}

void FrameWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), back_);
    const QFontMetrics m(font());
    const int line_y = m.height() / 2;
    // An etched rectangle: a dark line with a light one beside it.
    const QRect box = rect().adjusted(0, line_y, -1, -1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(box.adjusted(1, 1, 0, 0));
    if (!caption_.isEmpty()) {
        const QFont& f = caption_font_.font(font(), caption_, width() - 16);
        p.setFont(f);
        const int w = static_cast<int>(std::ceil(QFontMetricsF(f).horizontalAdvance(caption_)));
        const QRect text_rect(8, 0, std::min(w + 2, width() - 10), m.height());
        p.fillRect(text_rect, back_);
        p.setPen(fore_);
        p.drawText(text_rect.adjusted(1, 0, 0, 0),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption_);
    }
}

// ----------------------------------------------------------------- LabelWidget

LabelWidget::LabelWidget(QWidget* parent) : QWidget(parent) {}

void LabelWidget::set_text(const QString& text) {
    if (text != text_) {
        text_ = text;
        update();
    }
}

void LabelWidget::set_colors(const QColor& back, const QColor& fore) {
    back_ = back;
    fore_ = fore;
    update();
}

QColor LabelWidget::text_color() const {
    return isEnabled()
               ? fore_
               : disabled_text(palette().color(QPalette::Disabled, QPalette::WindowText), back_);
}

void LabelWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), back_);
    p.setFont(text_font_.font(font(), text_, width()));
    p.setPen(text_color());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text_);
}

// --------------------------------------------------------------- PictureWidget

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {}

void PictureWidget::set_picture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void PictureWidget::set_border(bool border) {
    border_ = border;
    update();
}

void PictureWidget::set_back(const QColor& back) {
    back_ = back;
    update();
}

void PictureWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), back_);
    const int inset = border_ ? kBorderPx : 0;
    if (!picture_.isNull()) {
        p.drawPixmap(QPoint(inset, inset), picture_);
    }
    if (border_) {
        p.setPen(palette().color(QPalette::Shadow));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void PictureWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit double_clicked();
    }
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace varkelon
