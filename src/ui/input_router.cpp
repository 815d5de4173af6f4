// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/input_router.h"

#include "app/main_window.h"
#include "ui/key_codes.h"
#include "ui/view_events.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace varkelon {

namespace {

int button_code(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return kLeftButton;
    case Qt::RightButton:
        return kRightButton;
    case Qt::MiddleButton:
        return kMiddleButton;
    default:
        return 0;
    }
}

// The moment of an input event. The X server (and a Wayland compositor)
// stamps events with its monotonic clock in milliseconds, cut to 32 bits;
// on Linux that is our clock too. A stamp older than the arrival by more than
// a millisecond (the event waited in the queue while a handler ran) gives the
// moment; a younger one only blurs the arrival, and a stamp that is not a
// moment of the last second is some other clock (or none, for an event made
// in-process).
MidiClock::time_point moment_of(const QInputEvent& event) {
    const MidiClock::time_point arrived = MidiClock::now();
    const std::uint64_t stamp = event.timestamp();
    if (stamp == 0) {
        return arrived;
    }
    const auto now_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(arrived.time_since_epoch()).count();
    const std::uint32_t age =
        static_cast<std::uint32_t>(now_ms) - static_cast<std::uint32_t>(stamp);
    if (age <= 1 || age > 1000) {
        return arrived;
    }
    return arrived - std::chrono::milliseconds(age);
}

// Holds the moment of the event being handed on.
class EventMoment {
public:
    EventMoment(std::optional<MidiClock::time_point>& slot, const QInputEvent& event)
        : slot_(slot) {
        slot_ = moment_of(event);
    }
    ~EventMoment() { slot_.reset(); }
    EventMoment(const EventMoment&) = delete;
    EventMoment& operator=(const EventMoment&) = delete;

private:
    std::optional<MidiClock::time_point>& slot_;
};

} // namespace

InputRouter::InputRouter(ViewEvents& events, QObject* parent) : QObject(parent), events_(events) {
    qApp->installEventFilter(this);
}

InputRouter::~InputRouter() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

bool InputRouter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Every key event of the platform passes its window first, and only
        // once; from there Qt hands it to the focus widget and its parents.
        if (watched->isWindowType()) {
            key(static_cast<const QKeyEvent&>(*event));
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A quick second press arrives as a double click; it is a press all the same.
        if (watched->isWidgetType()) {
            mouse_press(static_cast<QWidget*>(watched), static_cast<const QMouseEvent&>(*event));
        }
        break;
    case QEvent::MouseButtonRelease:
        // Taken where the platform delivers it, the window, before Qt looks
        // for a widget: the press may have hidden or disabled its widget,
        // and then no widget would get the release.
        if (watched->isWindowType()) {
            mouse_release(static_cast<const QMouseEvent&>(*event));
        }
        break;
    case QEvent::ApplicationStateChange:
        if (static_cast<const QApplicationStateChangeEvent&>(*event).applicationState() !=
            Qt::ApplicationActive) {
            release_held();
            events_.focus_lost();
        }
        break;
    default:
        break;
    }
    return false; // the event goes on to its widget
}

void InputRouter::key(const QKeyEvent& event) {
    const int code = vk_of(event);
    if (code == 0) {
        return; // a key without a Windows key code
    }
    const EventMoment moment(event_time_, event);
    const int mask = modifier_mask(event.modifiers());
    const quint32 physical =
        event.nativeScanCode() != 0 ? event.nativeScanCode() : static_cast<quint32>(code);
    if (event.type() == QEvent::KeyPress) {
        // A held key sustains: only its first press is passed on, as if the
        // system did not repeat keys. With detectable auto-repeat the repeats
        // come as presses alone, which Qt does not mark as repeats.
        if (event.isAutoRepeat() || !held_keys_.emplace(physical, code).second) {
            return;
        }
        events_.key_down(code, mask);
        return;
    }
    // Without detectable auto-repeat, X11 reports a repeat as a release +
    // press pair: only the real release lets go of the key.
    if (event.isAutoRepeat()) {
        return;
    }
    held_keys_.erase(physical);
    events_.key_up(code, mask);
}

void InputRouter::mouse_press(QWidget* widget, const QMouseEvent& event) {
    const int button = button_code(event.button());
    if (button == 0 || !widget->isEnabled() || pressed_.count(button) != 0) {
        return;
    }
    const auto id = events_.mouse_control(widget);
    if (!id) {
        return;
    }
    const EventMoment moment(event_time_, event);
    pressed_.insert(button);
    events_.mouse_down(*id, button, modifier_mask(event.modifiers()));
}

void InputRouter::mouse_release(const QMouseEvent& event) {
    const int button = button_code(event.button());
    if (pressed_.erase(button) == 0) {
        return;
    }
    const EventMoment moment(event_time_, event);
    events_.mouse_up(button, modifier_mask(event.modifiers()));
}

void InputRouter::release_held() {
    const auto keys = std::exchange(held_keys_, {});
    for (const auto& [physical, code] : keys) {
        events_.key_up(code, 0);
    }
    const auto presses = std::exchange(pressed_, {});
    for (const int button : presses) {
        events_.mouse_up(button, 0);
    }
}

} // namespace varkelon
