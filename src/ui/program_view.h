// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The view of the whole program: the main window, the help and about windows,
// the two timers and the input routing. Every user action and every timer
// tick is forwarded to the core, one at a time; after each, the windows are
// brought in line with the model, and when the program has ended the view
// says so (ended()). Before each, the MIDI output hears the moment its sounds
// belong to: a tick's due time on the timer grid, an input event's time.

#include "app/program.h"
#include "ui/view_events.h"

#include <QElapsedTimer>
#include <QMargins>
#include <QObject>

#include <chrono>

#include <functional>
#include <memory>
#include <vector>

namespace varkelon {

class AboutWindow;
class BitmapCache;
class HelpWindow;
class InputRouter;
class MainWindowView;
class SecondaryView;
class TimerDriver;

class ProgramView final : public QObject, public ViewEvents {
    Q_OBJECT
public:
    // Builds the main window from the program's controls, which it has
    // before it starts: the program may start after this, while the window
    // waits unshown. `midi`, when given, is the program's MIDI output, told
    // the moment of each event.
    explicit ProgramView(Program& program, MidiSystem* midi = nullptr);
    ~ProgramView() override;

    // Once the program has started: takes its state, and from now on passes
    // the input to it.
    // Places the main window at its position (the default when the saved
    // one is off every screen, moved just far enough to lie wholly on its
    // screen when part of it would not) and shows it.
    void show();

    MainWindowView& main_window() { return *main_; }
    // Built when first shown or asked for.
    HelpWindow& help_window();
    AboutWindow& about_window();
    // There once the window is shown.
    InputRouter& input_router() { return *router_; }

    // ViewEvents
    void key_down(int key_code, int mask) override;
    void key_up(int key_code, int mask) override;
    std::optional<ControlId> mouse_control(const QWidget* widget) override;
    void mouse_down(const ControlId& id, int button, int mask) override;
    void mouse_up(int button, int mask) override;
    void click(const ControlId& id) override;
    void dbl_click(const ControlId& id) override;
    void scroll(const ControlId& id, int value) override;
    void type_text(const ControlId& id, const std::string& text) override;
    void close(FormId form) override;
    void moved(FormId form, int left_twips, int top_twips) override;
    void focus_lost() override;

    // A message from a MIDI keyboard, on this thread; the modifiers are
    // those the computer keyboard holds as it arrives.
    // `at`: when the message reached the input port, if known.
    void midi_message(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                      std::optional<MidiClock::time_point> at = std::nullopt);
    void midi_keyboard_gone();
    // The two above for a MIDI keyboard's port, whose thread calls them: each
    // is handed to this view's thread, a message stamped with its arrival.
    std::function<void(std::uint8_t, std::uint8_t, std::uint8_t)> midi_message_from_port();
    std::function<void()> midi_keyboard_gone_from_port();

signals:
    void ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Kind : std::uint8_t { Press, Release };
    // Runs one event of the core, then brings everything in line. An event
    // that arrives while the core is still busy (a message box runs its own
    // event loop) would re-enter it: presses are dropped, as the window
    // would not have had them, and releases wait, so no note hangs.
    void deliver(Kind kind, MidiClock::time_point at, std::function<void()> event);
    void tick(TimerId which);
    void after_event();
    void sync_secondary(SecondaryView& view, SecondaryWindow& state, FormId form);
    // Before a window shows: a position off every screen gives way to the
    // default, and one that leaves part of the window off its screen is
    // moved just far enough. Written to the model, so Unload saves it.
    void mend_position(FormId form, const QSize& size_px, int default_left, int default_top);
    // After it shows: the same fit with the real frame.
    void opened(QWidget& window);
    void fit_frame(QWidget& window);
    // The client area that the screen at `at` (pixels) leaves a framed window.
    QSize room_at(const QPoint& at) const;
    std::int64_t now_ms() const { return clock_.elapsed(); }
    // The moment of the input event being handed on: as the input router
    // read it, or now.
    MidiClock::time_point input_time() const;

    Program& program_;
    MidiSystem* midi_;
    QElapsedTimer clock_; // the timers' grid, in milliseconds
    // clock_'s start on the MIDI clock; both read the monotonic clock.
    MidiClock::time_point origin_;
    std::unique_ptr<BitmapCache> bitmaps_;
    std::unique_ptr<MainWindowView> main_;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<AboutWindow> about_;
    std::unique_ptr<TimerDriver> timer1_;
    std::unique_ptr<TimerDriver> timer2_;
    std::unique_ptr<TimerDriver> chord_timer_;
    std::unique_ptr<InputRouter> router_;
    bool busy_ = false;
    bool ended_reported_ = false;
    struct Waiting {
        MidiClock::time_point at;
        std::function<void()> event;
    };
    std::vector<Waiting> waiting_releases_;
    QMargins frame_margins_;                // of the last window seen framed
    std::vector<QWidget*> awaiting_expose_; // shown, their frame not yet seen
};

} // namespace varkelon
