// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The main window: one widget per control of the model, placed at its twips
// geometry. It reports user actions through ViewEvents and, on sync(), brings
// every widget in line with the model, touching only what changed.

#include "app/main_window.h"

#include <QMainWindow>

#include <map>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace varkelon {

class BitmapCache;
class SliderStyle;
class ViewEvents;

class MainWindowView final : public QMainWindow {
    Q_OBJECT
public:
    MainWindowView(Form1& form, BitmapCache& bitmaps, ViewEvents& events);
    ~MainWindowView() override;

    // Brings the widgets in line with the model; due once before the window is shown.
    void sync();

    // The widget of a control (nullptr for menus and unknown ids).
    QWidget* widget_of(const ControlId& id) const;
    // The menu action of a menu title or item.
    QAction* action_of(const ControlId& id) const;
    // The control a widget stands for.
    std::optional<ControlId> control_of(const QWidget* widget) const;

    // Moves the window to the model's position (twips).
    void place();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    struct Binding {
        std::size_t index = 0; // into the model's controls
        QWidget* widget = nullptr;
        QAction* action = nullptr;
        std::optional<Control> shown; // what the widget shows; empty before the first sync
    };

    void build();
    void build_menus();
    QWidget* create_widget(const Control& c, QWidget* parent);
    // Bring a widget or an action in line with a control that has changed
    // since b.shown; the caller then records it as shown.
    void apply(const Binding& b, const Control& c);
    void apply_action(const Binding& b, const Control& c);
    void follow_user_state(const Binding& b, const Control& c);
    QRect geometry_px(const Control& c) const;

    Form1& form_;
    BitmapCache& bitmaps_;
    ViewEvents& events_;
    std::vector<Binding> bindings_;
    std::map<const QWidget*, std::size_t> by_widget_; // -> index into bindings_
    std::map<Ctl, QWidget*> containers_;              // the frames
    std::map<Ctl, QMenu*> menus_;
    std::optional<std::pair<int, int>> placed_; // the model position last applied
    SliderStyle* slider_style_ = nullptr;
};

} // namespace varkelon
