// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Key preview and mouse routing for the whole application. Every key press
// and release reaches the core first, whichever widget has the focus, and then
// goes on to that widget; a held key passes on its first press only. Every
// release of a mouse press passed on reaches the core, wherever it happens.

#include "app/controls.h"
#include "midi/midi_port.h"

#include <QObject>

#include <map>
#include <optional>
#include <set>

class QKeyEvent;
class QMouseEvent;

namespace varkelon {

class ViewEvents;

class InputRouter final : public QObject {
    Q_OBJECT
public:
    // Installs itself as an event filter of the application.
    explicit InputRouter(ViewEvents& events, QObject* parent = nullptr);
    ~InputRouter() override;

    // The application lost the keyboard: the keys and mouse buttons still
    // held will send no release here, so release them now.
    void release_held();

    bool eventFilter(QObject* watched, QEvent* event) override;

    // While a key or mouse event is being handed on: the moment it happened.
    std::optional<MidiClock::time_point> event_time() const { return event_time_; }

private:
    void key(const QKeyEvent& event);
    void mouse_press(QWidget* widget, const QMouseEvent& event);
    void mouse_release(const QMouseEvent& event);

    ViewEvents& events_;
    // Computer keys held down: native keycode (or key code when there is
    // none) -> key code delivered.
    std::map<quint32, int> held_keys_;
    // The mouse buttons whose press was passed on and whose release is due;
    // the core knows which control each belongs to.
    std::set<int> pressed_;
    std::optional<MidiClock::time_point> event_time_;
};

} // namespace varkelon
