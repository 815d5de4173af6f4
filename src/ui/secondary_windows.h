// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The help window and the about window: fixed texts, a "Закрыть" button, and
// a position that the program keeps. They show the state of their
// SecondaryWindow and report the user's close and moves.

#include "app/program.h"

#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;
class QScrollArea;

namespace varkelon {

class ViewEvents;

class SecondaryView : public QWidget {
    Q_OBJECT
public:
    // Shows, hides or raises the window as the state says.
    void sync(const SecondaryWindow& state);
    QPushButton* close_button() const { return close_button_; }
    FormId form() const { return form_; }
    // The window at its design size where `room` (the client area a screen
    // leaves it) allows, else smaller, its content scrolling: every text and
    // "Закрыть" stay within reach on a small screen or at a large scale.
    void fit_within(const QSize& room);
    QScrollArea* scroll_area() const { return scroll_; }

protected:
    SecondaryView(FormId form, ViewEvents& events, int client_width_twips, int client_height_twips,
                  const QString& caption, const QIcon& icon);
    QLabel* add_label(const QString& text, int left, int top, int width, int height,
                      const QFont& font);
    void add_close_button(int left, int top, int width, int height);

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    FormId form_;
    ViewEvents& events_;
    QSize design_size_;
    QScrollArea* scroll_ = nullptr;
    QWidget* page_ = nullptr; // the design's client area, inside scroll_
    QPushButton* close_button_ = nullptr;
    std::uint64_t raises_seen_ = 0;
};

class HelpWindow final : public SecondaryView {
    Q_OBJECT
public:
    HelpWindow(ViewEvents& events, const QIcon& icon);
};

class AboutWindow final : public SecondaryView {
    Q_OBJECT
public:
    AboutWindow(ViewEvents& events, const QIcon& icon);
};

} // namespace varkelon
