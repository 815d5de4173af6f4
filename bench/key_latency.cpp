// SPDX-License-Identifier: GPL-3.0-or-later
// Key to MIDI send in the real program while the rhythm plays: Program and
// ProgramView on the Qt event loop, the window shown and repainting (run it
// on an X server to have it drawn as on a desktop), the system's MIDI
// outputs with the built-in synth playing into a JACK server.
//
// Usage: bench_key_latency [--presses N] [--style S]
//
// The busiest style (7 by default) plays with the accompaniment on a held
// chord; meanwhile N presses of a solo key (T, key 24) are posted to the
// window at random moments 30-90 ms apart, each released 20 ms later, the
// way the platform queues input: a press that comes while a tick or a repaint
// runs waits for it. For each press:
//   queued   from posting the event to the end of the solo note-on's send
//   handled  from the window's event dispatch (an application event filter
//            ahead of the program's own) to the end of that send
// and every send's own duration. Prints one "result" line, times in ms.

#include "adapters/disk_style_file.h"
#include "app/fakes.h"
#include "app/program.h"
#include "bench_stats.h"
#include "midi/backends/system_midi.h"
#include "midi/midi_facts.h"
#include "ui/main_window_view.h"
#include "ui/program_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace varkelon;
using namespace std::chrono_literals;

double now_ms() {
    return std::chrono::duration<double, std::milli>(MidiClock::now().time_since_epoch()).count();
}

using bench::cpu_ms;
using bench::percentile;

// Passes everything on; times every send and notes when the solo channel's
// first note-on after a press has been sent.
class TimedMidi final : public bench::WrappedMidi {
public:
    using WrappedMidi::WrappedMidi;
    void send(std::uint32_t message) override {
        const double start = now_ms();
        inner().send(message);
        const double end = now_ms();
        if (recording_) {
            sends_.push_back(end - start);
        }
        const ShortMessage m = unpack_short_message(message);
        const bool solo_note_on = m.is_sounding_note_on() && m.channel() == kSoloChannel;
        if (solo_note_on && waiting_) {
            waiting_ = false;
            solo_sent_ms_ = end;
        }
    }
    // A press is on its way: the next solo note-on is its.
    void expect_solo() {
        waiting_ = true;
        solo_sent_ms_ = NAN;
    }
    double solo_sent_ms() const { return solo_sent_ms_; }
    void record(bool on) { recording_ = on; }
    const std::vector<double>& sends() const { return sends_; }

private:
    bool recording_ = false;
    bool waiting_ = false;
    double solo_sent_ms_ = NAN;
    std::vector<double> sends_;
};

// Notes when a press reaches the window, before the program's input router
// (application filters run newest first).
class DispatchClock final : public QObject {
public:
    double pressed_ms = NAN;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
            pressed_ms = now_ms();
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    int presses = 600;
    int style = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--presses") {
            presses = std::atoi(argv[i + 1]);
        } else if (arg == "--style") {
            style = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "usage: %s [--presses N] [--style S]\n", argv[0]);
            return 2;
        }
    }

    setenv("JACK_NO_START_SERVER", "1", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    MemorySettingsStore settings;
    DiskStyleFile style_file(locate_style_file(executable_dir()));
    auto system = std::make_unique<SystemMidi>(
        default_system_midi_options(programs_to_keep_loaded(style_file.read().bytes)));
    SystemMidi& system_midi = *system;
    TimedMidi midi(std::move(system));
    ScriptedDialogs dialogs;

    Program program(ProgramPorts{midi, settings, style_file, dialogs});
    if (!program.start() || !system_midi.synth().wait_until_loaded(30s)) {
        std::fprintf(stderr, "the program or its SoundFont did not start\n");
        return 1;
    }
    ProgramView view(program, &midi);
    view.show();
    DispatchClock dispatch;
    app.installEventFilter(&dispatch); // after the view's router: runs first

    std::vector<double> queued;
    std::vector<double> handled;
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> gap_ms(30, 90);
    int pressed = 0;
    double posted_ms = NAN;
    double cpu_start = 0;
    double wall_start = 0;
    QWindow* window = nullptr;

    const auto take_last = [&] {
        const double sent = midi.solo_sent_ms();
        if (!std::isnan(sent) && !std::isnan(posted_ms)) {
            queued.push_back(sent - posted_ms);
            handled.push_back(sent - dispatch.pressed_ms);
        }
    };
    const auto press_next = [&](auto& self) -> void {
        take_last();
        if (pressed == presses) {
            QCoreApplication::exit(0);
            return;
        }
        midi.expect_solo();
        posted_ms = now_ms();
        dispatch.pressed_ms = NAN;
        QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_T,
                                                          Qt::NoModifier, QStringLiteral("t")));
        QTimer::singleShot(20, &app, [&] {
            QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_T,
                                                              Qt::NoModifier, QStringLiteral("t")));
        });
        ++pressed;
        QTimer::singleShot(gap_ms(random), &app, [&self] { self(self); });
    };

    QTimer::singleShot(1000, &app, [&] {
        window = view.main_window().windowHandle();
        for (int s = 1; s < style; ++s) {
            view.click(ControlId{Ctl::Command1, 1}); // the next style
        }
        view.click(ControlId{Ctl::Command7}); // accompaniment mode: arms the start
        view.key_down(0x5A, 0);               // Z: chord C major, starts the rhythm
        // Held: the chord stays while the solo key plays.
        QTimer::singleShot(2000, &app, [&] {
            midi.record(true);
            cpu_start = cpu_ms();
            wall_start = now_ms();
            press_next(press_next);
        });
    });
    QApplication::exec();
    const double cpu_pct = 100.0 * (cpu_ms() - cpu_start) / (now_ms() - wall_start);
    midi.record(false);
    view.key_up(0x5A, 0);
    if (!program.ended()) {
        program.exit_program();
    }

    const auto& sends = midi.sends();
    std::printf("result style=%d presses=%zu queued_p50=%.4f queued_p99=%.4f queued_max=%.4f "
                "handled_p50=%.4f handled_p99=%.4f handled_max=%.4f sends=%zu send_p50=%.4f "
                "send_p99=%.4f send_max=%.4f cpu_pct=%.1f\n",
                style, queued.size(), percentile(queued, 0.5), percentile(queued, 0.99),
                percentile(queued, 1.0), percentile(handled, 0.5), percentile(handled, 0.99),
                percentile(handled, 1.0), sends.size(), percentile(sends, 0.5),
                percentile(sends, 0.99), percentile(sends, 1.0), cpu_pct);
    return 0;
}
