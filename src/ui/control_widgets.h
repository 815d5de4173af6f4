// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The widgets that draw the controls of the model: buttons and keys that show
// their exact back colour with a classic 3D bevel, captioned frames, labels,
// and picture boxes. They hold only what is on screen; the model is the state.

#include "ui/fonts.h"

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace varkelon {

// A push button, or a key: a toggle in push-button form drawn pressed in while
// its model value is 1. A key never toggles itself; the core sets its value.
class ButtonWidget final : public QAbstractButton {
    Q_OBJECT
public:
    enum class Role : std::uint8_t { Push, Key };
    explicit ButtonWidget(Role role, QWidget* parent = nullptr);

    // The caption exactly as given: unlike setText(), "&" makes no shortcut.
    void set_caption(const QString& caption);
    const QString& caption() const { return caption_; }
    void set_colors(const QColor& back, const QColor& fore);
    void set_picture(const QPixmap& picture);
    void set_pressed_in(bool pressed); // the model value of a key
    bool pressed_in() const { return pressed_in_; }
    const QColor& back_color() const { return back_; }
    const QColor& fore_color() const { return fore_; }
    // The colour the caption is drawn in: the fore colour, or when disabled
    // a greyed one that still reads on the back colour.
    QColor caption_color() const;
    Role role() const { return role_; }
    // Between the focus frame, drawn along the face, and the caption.
    static constexpr int kFocusGapPx = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    Role role_;
    QString caption_;
    QColor back_;
    QColor fore_;
    QPixmap picture_;
    bool pressed_in_ = false;
    FittedLine caption_font_;
};

// A captioned group frame; its children are placed relative to it.
class FrameWidget final : public QWidget {
    Q_OBJECT
public:
    explicit FrameWidget(QWidget* parent = nullptr);
    void set_caption(const QString& caption);
    void set_colors(const QColor& back, const QColor& fore);
    const QString& caption() const { return caption_; }
    const QColor& back_color() const { return back_; }
    const QColor& fore_color() const { return fore_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    QColor back_;
    QColor fore_;
    FittedLine caption_font_;
};

// Static text on its back colour, on one line, narrowed to fit its width.
class LabelWidget final : public QWidget {
    Q_OBJECT
public:
    explicit LabelWidget(QWidget* parent = nullptr);
    void set_text(const QString& text);
    void set_colors(const QColor& back, const QColor& fore);
    const QString& text() const { return text_; }
    const QColor& back_color() const { return back_; }
    const QColor& fore_color() const { return fore_; }
    QColor text_color() const; // as ButtonWidget::caption_color()

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    FittedLine text_font_;
    QColor back_;
    QColor fore_;
};

// A rectangle that shows a bitmap, with an optional thin border.
class PictureWidget final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBorderPx = 1;
    explicit PictureWidget(QWidget* parent = nullptr);
    void set_picture(const QPixmap& picture);
    void set_border(bool border);
    void set_back(const QColor& back);
    bool has_border() const { return border_; }
    const QPixmap& picture() const { return picture_; }

signals:
    void double_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    QColor back_;
    bool border_ = false;
};

} // namespace varkelon
