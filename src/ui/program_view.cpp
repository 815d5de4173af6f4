// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/program_view.h"

#include "app/layout.h"
#include "ui/bitmaps.h"
#include "ui/input_router.h"
#include "ui/key_codes.h"
#include "ui/main_window_view.h"
#include "ui/screen_fit.h"
#include "ui/secondary_windows.h"
#include "ui/timer_driver.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace varkelon {

ProgramView::ProgramView(Program& program, MidiSystem* midi)
    : program_(program), midi_(midi), bitmaps_(std::make_unique<BitmapCache>()) {
    clock_.start();
    origin_ = MidiClock::now() - std::chrono::nanoseconds(clock_.nsecsElapsed());
    main_ = std::make_unique<MainWindowView>(program_.form1(), *bitmaps_, *this);
    // The widgets take the design's captions, colours and fonts now, which
    // is most of the work of a first sync: show() then applies only what the
    // start has changed.
    main_->sync();
    timer1_ = std::make_unique<TimerDriver>(program_.form1().timer1, clock_,
                                            [this] { tick(TimerId::Timer1); });
    timer2_ = std::make_unique<TimerDriver>(program_.form1().timer2, clock_,
                                            [this] { tick(TimerId::Timer2); });
    chord_timer_ = std::make_unique<TimerDriver>(program_.form1().chord_timer, clock_,
                                                 [this] { tick(TimerId::ChordTimer); });
    after_event();
}

ProgramView::~ProgramView() = default;

HelpWindow& ProgramView::help_window() {
    if (!help_) {
        help_ = std::make_unique<HelpWindow>(*this, bitmaps_->window_icon());
    }
    return *help_;
}

AboutWindow& ProgramView::about_window() {
    if (!about_) {
        about_ = std::make_unique<AboutWindow>(*this, bitmaps_->window_icon());
    }
    return *about_;
}

void ProgramView::show() {
    // The program may have started since the view was built: take its state.
    after_event();
    // Input reaches the core from now on; a key pressed on a message box of
    // the start belongs to that box alone.
    if (!router_) {
        router_ = std::make_unique<InputRouter>(*this);
    }
    mend_position(FormId::Form1, main_->sizeHint(), kForm1DefaultLeft, kForm1DefaultTop);
    main_->place();
    main_->show();
    opened(*main_);
}

void ProgramView::mend_position(FormId form, const QSize& size_px, int default_left,
                                int default_top) {
    const QList<QRect> screens = available_screen_geometries();
    const Program::Position saved = program_.position(form);
    int left = saved.left;
    int top = saved.top;
    // The frame is not there before the window is shown: the margins of a
    // window already framed stand in for it (the same window manager frames
    // all three alike); opened() corrects the guess once the frame is known.
    const QSize frame = size_px.grownBy(frame_margins_);
    QRect window(QPoint(twips_to_px(left), twips_to_px(top)), frame);
    if (lost_off_screen(window, screens)) {
        left = default_left;
        top = default_top;
        window.moveTopLeft(QPoint(twips_to_px(left), twips_to_px(top)));
    }
    const QPoint fitted = fit_on_screen(window, screens);
    if (fitted != window.topLeft()) {
        left = px_to_twips(fitted.x());
        top = px_to_twips(fitted.y());
    }
    if (left != saved.left || top != saved.top) {
        program_.move(form, left, top);
    }
}

void ProgramView::opened(QWidget& window) {
    fit_frame(window);
    // The window manager frames a window after it is mapped, which is after
    // show() returns: look again at its first expose.
    if (QWindow* handle = window.windowHandle(); handle != nullptr) {
        handle->installEventFilter(this);
        awaiting_expose_.push_back(&window);
    }
}

void ProgramView::fit_frame(QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                           frame.right() - client.right(), frame.bottom() - client.bottom());
    if (!margins.isNull()) {
        frame_margins_ = margins;
    }
    QRect frame_now = frame;
    if (auto* secondary = qobject_cast<SecondaryView*>(&window); secondary != nullptr) {
        // The frame, now known, may leave less room than was guessed.
        secondary->fit_within(room_at(frame.topLeft()));
        frame_now.setSize(secondary->size().grownBy(margins));
    }
    const QPoint fitted = fit_on_screen(frame_now, available_screen_geometries());
    if (fitted != frame.topLeft()) {
        window.move(fitted); // the window's move event reports where it now stands
    }
}

QSize ProgramView::room_at(const QPoint& at) const {
    const QScreen* screen = QGuiApplication::screenAt(at);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    }
    return screen->availableGeometry().size().shrunkBy(frame_margins_);
}

bool ProgramView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose) {
        for (auto it = awaiting_expose_.begin(); it != awaiting_expose_.end(); ++it) {
            if ((*it)->windowHandle() == watched) {
                QWidget* window = *it;
                awaiting_expose_.erase(it);
                watched->removeEventFilter(this);
                if (window->isVisible()) {
                    fit_frame(*window);
                }
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

MidiClock::time_point ProgramView::input_time() const {
    if (router_) {
        if (const auto at = router_->event_time()) {
            return *at;
        }
    }
    return MidiClock::now();
}

void ProgramView::deliver(Kind kind, MidiClock::time_point at, std::function<void()> event) {
    if (program_.ended()) {
        return;
    }
    if (busy_) {
        if (kind == Kind::Release) {
            waiting_releases_.push_back({at, std::move(event)});
        }
        return;
    }
    const auto run = [this](MidiClock::time_point moment, const std::function<void()>& e) {
        if (midi_ != nullptr) {
            midi_->set_message_time(moment);
        }
        busy_ = true;
        e();
        busy_ = false;
        after_event();
    };
    run(at, event);
    while (!waiting_releases_.empty() && !busy_ && !program_.ended()) {
        Waiting next = std::move(waiting_releases_.front());
        waiting_releases_.erase(waiting_releases_.begin());
        run(next.at, next.event);
    }
}

void ProgramView::tick(TimerId which) {
    TimerDriver& driver = which == TimerId::Timer1   ? *timer1_
                          : which == TimerId::Timer2 ? *timer2_
                                                     : *chord_timer_;
    if (busy_ || program_.ended()) {
        return; // the end of the busy event re-arms the timers
    }
    const std::int64_t now = now_ms();
    const auto due = driver.take_due(now);
    if (!due) {
        driver.sync(now);
        return;
    }
    deliver(Kind::Press, origin_ + std::chrono::milliseconds(*due),
            [this, which] { program_.form1().timer_tick(which); });
}

void ProgramView::after_event() {
    Form1& form = program_.form1();
    if (form.loaded()) {
        main_->sync();
    } else if (main_->isVisible()) {
        main_->hide();
    }
    // The help and about windows are built when first shown.
    if (help_ || program_.help().loaded) {
        sync_secondary(help_window(), program_.help(), FormId::Form2);
    }
    if (about_ || program_.about().loaded) {
        sync_secondary(about_window(), program_.about(), FormId::Form4);
    }
    const std::int64_t now = now_ms();
    timer1_->sync(now);
    timer2_->sync(now);
    chord_timer_->sync(now);
    if (program_.ended() && !ended_reported_) {
        ended_reported_ = true;
        emit ended();
    }
}

void ProgramView::sync_secondary(SecondaryView& view, SecondaryWindow& state, FormId form) {
    const bool opening = state.loaded && !view.isVisible();
    if (opening) {
        // Just loaded: it has read its position; keep it wholly on a screen,
        // scrolling its content when the screen is smaller than it.
        const Program::Position saved = program_.position(form);
        view.fit_within(room_at(QPoint(twips_to_px(saved.left), twips_to_px(saved.top))));
        mend_position(form, view.size(), state.default_left, state.default_top);
    }
    view.sync(state);
    if (opening && view.isVisible()) {
        opened(view);
    }
}

// ---------------------------------------------------------------- ViewEvents

void ProgramView::key_down(int key_code, int mask) {
    deliver(Kind::Press, input_time(),
            [this, key_code, mask] { program_.form1().key_down(key_code, mask); });
}

void ProgramView::midi_message(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                               std::optional<MidiClock::time_point> at) {
    // Only a note-on is a press, which a busy core may drop; a pedal, a
    // wheel or pressure is kept like a release, so none is left stuck.
    const bool press = (status & 0xF0) == 0x90 && data2 > 0;
    const int mask = modifier_mask(QGuiApplication::queryKeyboardModifiers());
    deliver(press ? Kind::Press : Kind::Release, at.value_or(MidiClock::now()),
            [this, status, data1, data2, mask] {
                program_.form1().midi_in(status, data1, data2, mask);
            });
}

void ProgramView::focus_lost() {
    deliver(Kind::Release, MidiClock::now(), [this] { program_.form1().focus_lost(); });
}

void ProgramView::midi_keyboard_gone() {
    deliver(Kind::Release, MidiClock::now(), [this] { program_.form1().midi_keyboard_gone(); });
}

std::function<void(std::uint8_t, std::uint8_t, std::uint8_t)>
ProgramView::midi_message_from_port() {
    return [this](std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
        // The message's moment is its arrival here, not when the loop gets to it.
        const MidiClock::time_point at = MidiClock::now();
        QMetaObject::invokeMethod(
            this, [this, status, data1, data2, at] { midi_message(status, data1, data2, at); },
            Qt::QueuedConnection);
    };
}

std::function<void()> ProgramView::midi_keyboard_gone_from_port() {
    return [this] {
        QMetaObject::invokeMethod(
            this, [this] { midi_keyboard_gone(); }, Qt::QueuedConnection);
    };
}

void ProgramView::key_up(int key_code, int mask) {
    deliver(Kind::Release, input_time(),
            [this, key_code, mask] { program_.form1().key_up(key_code, mask); });
}

std::optional<ControlId> ProgramView::mouse_control(const QWidget* widget) {
    auto id = main_->control_of(widget);
    if (!id || !program_.form1().reacts_to_mouse(*id)) {
        return std::nullopt;
    }
    return id;
}

void ProgramView::mouse_down(const ControlId& id, int button, int mask) {
    deliver(Kind::Press, input_time(),
            [this, id, button, mask] { program_.form1().mouse_down(id, button, mask); });
}

void ProgramView::mouse_up(int button, int mask) {
    deliver(Kind::Release, input_time(),
            [this, button, mask] { program_.form1().mouse_up(button, mask); });
}

void ProgramView::click(const ControlId& id) {
    deliver(Kind::Press, input_time(), [this, id] { program_.form1().click(id); });
}

void ProgramView::dbl_click(const ControlId& id) {
    deliver(Kind::Press, input_time(), [this, id] { program_.form1().dbl_click(id); });
}

void ProgramView::scroll(const ControlId& id, int value) {
    deliver(Kind::Press, input_time(), [this, id, value] { program_.form1().scroll(id, value); });
}

void ProgramView::type_text(const ControlId& id, const std::string& text) {
    deliver(Kind::Press, input_time(), [this, id, text] { program_.form1().type_text(id, text); });
}

void ProgramView::close(FormId form) {
    // Closing always gets through: the window is going away either way.
    deliver(Kind::Release, input_time(), [this, form] { program_.close(form); });
}

void ProgramView::moved(FormId form, int left_twips, int top_twips) {
    // Bookkeeping only: no handler of the system runs on a move.
    program_.move(form, left_twips, top_twips);
}

} // namespace varkelon
