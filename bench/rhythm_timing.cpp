// SPDX-License-Identifier: GPL-3.0-or-later
// The rhythm's timing in the real program: the real Program and ProgramView
// on the real Qt event loop, the system's MIDI outputs (the built-in synth),
// the window shown and repainting what a tick repaints. The rhythm is started
// through the window's own controls and plays the style with the most events
// per bar, while a thread of the same process sleeps to absolute deadlines at
// the same interval, as the yardstick of what this machine's scheduler allows.
//
// Usage: bench_rhythm_timing --interval MS [--duration S]
//
// Prints one "result" line of key=value pairs (times in milliseconds) for
// bench/rhythm_timing.sh to tabulate, and on stderr every send over 0.5 ms.
// BENCH_DUMP=FILE writes every timer event seen (receiver, start and end in
// ns, whether the bar moved), to look at the onsets one by one.
//
// What is measured:
//   tick onset   the first send of a tick (when Qt hands the model timer's
//                QTimer event to the program view, for a tick that sends
//                nothing), less its place on an ideal
//                grid of the interval. The grid's phase is the view's private
//                clock, so it is placed at the least late tick; the reference
//                thread's wake-ups are reported both against its true
//                deadlines and placed the same way, to compare like with like.
//   tempo drift  (last tick - first tick) against (ticks - 1) x interval.
//   tick span    first send's start to last send's end among the sends between
//                two tick starts.
//   send         the time of one MidiSystem::send.

#include "adapters/disk_style_file.h"
#include "app/fakes.h"
#include "app/main_window.h"
#include "app/program.h"
#include "bench_stats.h"
#include "engine/style_format.h"
#include "midi/backends/system_midi.h"
#include "ui/program_view.h"

#include <QApplication>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace varkelon;
using namespace std::chrono_literals;

std::int64_t mono_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double ms(std::int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

// Times every send into a buffer reserved up front, so recording allocates
// nothing while the rhythm plays. The ticks' moments pass on to the synth, as
// in the program: it sounds each message one latency after its due time.
class TimingMidi final : public bench::WrappedMidi {
public:
    struct Send {
        std::int64_t start_ns;
        std::int64_t end_ns;
        std::uint32_t message;
    };

    explicit TimingMidi(std::unique_ptr<MidiSystem> inner) : WrappedMidi(std::move(inner)) {
        sends_.reserve(1 << 20);
    }
    void send(std::uint32_t message) override {
        const std::int64_t start = mono_ns();
        inner().send(message);
        const std::int64_t end = mono_ns();
        if (recording_ && sends_.size() < sends_.capacity()) {
            sends_.push_back({start, end, message});
        }
    }

    void set_recording(bool on) { recording_ = on; }
    const std::vector<Send>& sends() const { return sends_; }

private:
    bool recording_ = false;
    std::vector<Send> sends_;
};

// Says nothing and answers OK; what was shown is printed at the end, since a
// message (say, "Couldn't open midi out") makes the figures meaningless.
class SilentDialogs final : public Dialogs {
public:
    std::vector<std::string> shown;
    void message_box(MessageIcon /*icon*/, const std::string& title,
                     const std::string& text) override {
        shown.push_back(title + ": " + text);
    }
};

// Sees every event the loop dispatches: a timer event of a single-shot
// precise QTimer is how TimerDriver delivers a model timer's tick, and an
// update request is a window repainting.
class ProbeApplication final : public QApplication {
public:
    struct TimerEvent {
        const QObject* receiver;
        std::int64_t start_ns;
        std::int64_t end_ns;
        bool bar_moved; // the pattern player advanced during it
    };
    struct Repaint {
        std::int64_t start_ns;
        std::int64_t end_ns;
    };

    ProbeApplication(int& argc, char** argv) : QApplication(argc, argv) {
        timer_events_.reserve(1 << 16);
        repaints_.reserve(1 << 16);
    }

    void watch(const Form1Register* reg) { reg_ = reg; }
    void set_recording(bool on) { recording_ = on; }
    const std::vector<TimerEvent>& timer_events() const { return timer_events_; }
    const std::vector<Repaint>& repaints() const { return repaints_; }

    bool notify(QObject* receiver, QEvent* event) override {
        if (!recording_ || depth_ > 0) {
            return QApplication::notify(receiver, event);
        }
        const QEvent::Type type = event->type();
        if (type == QEvent::Timer) {
            const auto* timer = qobject_cast<const QTimer*>(receiver);
            if (timer != nullptr && timer->isSingleShot() &&
                timer->timerType() == Qt::PreciseTimer) {
                const int tick_before = reg_ != nullptr ? reg_->tick_in_bar : 0;
                const int pos_before = reg_ != nullptr ? reg_->stream_pos : 0;
                const std::int64_t start = mono_ns();
                const bool handled = dispatch(receiver, event);
                const std::int64_t end = mono_ns();
                const bool moved = reg_ != nullptr && (reg_->tick_in_bar != tick_before ||
                                                       reg_->stream_pos != pos_before);
                if (timer_events_.size() < timer_events_.capacity()) {
                    timer_events_.push_back({receiver, start, end, moved});
                }
                return handled;
            }
        } else if (type == QEvent::UpdateRequest) {
            const std::int64_t start = mono_ns();
            const bool handled = dispatch(receiver, event);
            if (repaints_.size() < repaints_.capacity()) {
                repaints_.push_back({start, mono_ns()});
            }
            return handled;
        }
        return QApplication::notify(receiver, event);
    }

private:
    bool dispatch(QObject* receiver, QEvent* event) {
        ++depth_;
        const bool handled = QApplication::notify(receiver, event);
        --depth_;
        return handled;
    }

    const Form1Register* reg_ = nullptr;
    bool recording_ = false;
    int depth_ = 0;
    std::vector<TimerEvent> timer_events_;
    std::vector<Repaint> repaints_;
};

// Sleeps to absolute deadlines start + n x interval and notes each wake-up.
class ReferenceTicker {
public:
    void start(std::int64_t interval_ns, std::int64_t first_deadline_ns, std::int64_t until_ns) {
        wakes_.reserve(static_cast<std::size_t>((until_ns - first_deadline_ns) / interval_ns + 2));
        thread_ = std::thread([this, interval_ns, first_deadline_ns, until_ns] {
            for (std::int64_t deadline = first_deadline_ns; deadline <= until_ns;
                 deadline += interval_ns) {
                timespec ts{};
                ts.tv_sec = static_cast<time_t>(deadline / 1'000'000'000);
                ts.tv_nsec = static_cast<long>(deadline % 1'000'000'000);
                while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
                }
                wakes_.push_back({deadline, mono_ns()});
            }
        });
    }
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    struct Wake {
        std::int64_t deadline_ns;
        std::int64_t woke_ns;
    };
    const std::vector<Wake>& wakes() const { return wakes_; }

private:
    std::thread thread_;
    std::vector<Wake> wakes_;
};

struct Summary {
    double p50 = 0;
    double p99 = 0;
    double max = 0;
};

// All 0 for no values.
Summary summarize(const std::vector<double>& values) {
    if (values.empty()) {
        return {};
    }
    return {bench::percentile(values, 0.50), bench::percentile(values, 0.99),
            bench::percentile(values, 1.0)};
}

// Errors of times that should lie on start + n x interval, with the grid
// placed at the least late of them.
std::vector<double> grid_errors_ms(const std::vector<std::int64_t>& times, std::int64_t interval) {
    std::vector<double> errors;
    if (times.empty()) {
        return errors;
    }
    std::int64_t phase = times.front();
    for (std::size_t n = 0; n < times.size(); ++n) {
        phase = std::min(phase, times[n] - static_cast<std::int64_t>(n) * interval);
    }
    for (std::size_t n = 0; n < times.size(); ++n) {
        errors.push_back(ms(times[n] - static_cast<std::int64_t>(n) * interval - phase));
    }
    return errors;
}

struct Options {
    int interval_ms = 125;
    double duration_s = 60;
};

std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--interval") {
            const char* v = value();
            if (v == nullptr) {
                return std::nullopt;
            }
            o.interval_ms = std::atoi(v);
        } else if (arg == "--duration") {
            const char* v = value();
            if (v == nullptr) {
                return std::nullopt;
            }
            o.duration_s = std::atof(v);
        } else {
            return std::nullopt;
        }
    }
    if (o.interval_ms < 1 || o.interval_ms > 255 || o.duration_s <= 0) {
        return std::nullopt;
    }
    return o;
}

struct StylePick {
    int busiest = 1;
    std::size_t events = 0;
    std::vector<int> default_tempo; // index = style - 1
};

StylePick pick_styles(const StyleBytes& bytes) {
    StylePick pick;
    for (int style = 1; style <= kStyleCount; ++style) {
        const auto block = read_style_block(bytes, style);
        const std::size_t events = block ? block->events.size() : 0;
        pick.default_tempo.push_back(block && block->tempo ? *block->tempo : -1);
        if (events > pick.events) {
            pick.events = events;
            pick.busiest = style;
        }
    }
    return pick;
}

// Plays the user's part through the view, as the widgets would report it.
class Session {
public:
    Session(ProbeApplication& app, Program& program, ProgramView& view, TimingMidi& midi,
            const Options& options, StylePick styles)
        : app_(app), program_(program), view_(view), midi_(midi), options_(options),
          styles_(std::move(styles)) {}

    // Returns false when the rhythm could not be started.
    bool start() {
        Form1& form = program_.form1();
        const int target_tempo = kTempoIntervalBase - options_.interval_ms;
        // Only whole steps of ten reach the tempo; a style selected while the
        // rhythm is stopped sets its own default tempo, and one selected while
        // it runs keeps the tempo. So the rhythm starts on a style whose
        // default reaches the target and switches to the busiest while running.
        int carrier = 0;
        for (int style : {styles_.busiest, 1, 2, 3, 4, 5, 6, 7}) {
            const int d = styles_.default_tempo[static_cast<std::size_t>(style - 1)];
            if (d >= 0 && (target_tempo - d) % 10 == 0) {
                carrier = style;
                break;
            }
        }
        if (carrier == 0) {
            std::fprintf(stderr, "no style's tempo reaches %d in steps of 10\n", target_tempo);
            return false;
        }
        select_style(carrier);
        while (form.r.tempo != target_tempo) {
            const int before = form.r.tempo;
            view_.click(ControlId{Ctl::Command5, form.r.tempo < target_tempo ? 1 : 0});
            if (form.r.tempo == before) {
                break; // the tempo buttons do nothing (yet)
            }
        }
        view_.click(ControlId{Ctl::Command7}); // accompaniment mode: arms the start
        view_.key_down(0x5A, 0);               // Z: chord C major, starts drums and accompaniment
        view_.key_up(0x5A, 0);
        if (form.r.rhythm_running == kTrue) {
            select_style(styles_.busiest);
        }
        const bool engine = form.r.rhythm_running == kTrue && form.timer1.enabled &&
                            form.timer1.interval_ms == options_.interval_ms &&
                            form.r.tempo == target_tempo;
        if (!engine) {
            std::fprintf(stderr,
                         "the controls did not start the rhythm at %d ms (running %d, "
                         "tempo %d, Timer1 %s %d ms)\n",
                         options_.interval_ms, form.r.rhythm_running, form.r.tempo,
                         form.timer1.enabled ? "on" : "off", form.timer1.interval_ms);
            return false;
        }
        return true;
    }

    void print_result() {
        Form1& form = program_.form1();
        const std::int64_t interval = static_cast<std::int64_t>(options_.interval_ms) * 1'000'000;

        // The ticks: the timer events of the one QTimer that fires at the
        // interval, each of which moves the bar.
        std::map<const QObject*, std::size_t> per_receiver;
        for (const auto& e : app_.timer_events()) {
            ++per_receiver[e.receiver];
        }
        const QObject* tick_timer = nullptr;
        std::size_t most = 0;
        for (const auto& [receiver, count] : per_receiver) {
            if (count > most) {
                most = count;
                tick_timer = receiver;
            }
        }
        const auto& sent = midi_.sends();
        std::vector<std::int64_t> starts;
        std::vector<double> handler_ms;
        std::size_t idle_events = 0; // timer events that delivered no tick
        for (const auto& e : app_.timer_events()) {
            if (e.receiver != tick_timer) {
                continue;
            }
            if (!e.bar_moved) {
                ++idle_events;
                continue;
            }
            // The tick begins with its first send: the timer's event may come a
            // little early and wait out the rest of the interval before the
            // core runs. A tick without sends counts from the event.
            const auto first = std::lower_bound(
                sent.begin(), sent.end(), e.start_ns,
                [](const TimingMidi::Send& s, std::int64_t t) { return s.start_ns < t; });
            starts.push_back(first != sent.end() && first->start_ns <= e.end_ns ? first->start_ns
                                                                                : e.start_ns);
            handler_ms.push_back(ms(e.end_ns - e.start_ns));
        }
        if (const char* dump = std::getenv("BENCH_DUMP"); dump != nullptr) {
            if (std::FILE* f = std::fopen(dump, "w"); f != nullptr) {
                for (const auto& e : app_.timer_events()) {
                    std::fprintf(f, "%p %lld %lld %d\n", static_cast<const void*>(e.receiver),
                                 static_cast<long long>(e.start_ns),
                                 static_cast<long long>(e.end_ns), e.bar_moved ? 1 : 0);
                }
                std::fclose(f);
            }
        }
        if (starts.size() < 3) {
            std::fprintf(stderr, "only %zu ticks recorded\n", starts.size());
            return;
        }

        const auto n = static_cast<std::int64_t>(starts.size() - 1);
        const double drift_pct =
            100.0 * static_cast<double>((starts.back() - starts.front()) - n * interval) /
            static_cast<double>(n * interval);
        std::size_t late_by_interval = 0;
        for (std::size_t i = 1; i < starts.size(); ++i) {
            if (starts[i] - starts[i - 1] > interval * 3 / 2) {
                ++late_by_interval;
            }
        }
        const Summary onset = summarize(grid_errors_ms(starts, interval));

        std::vector<double> ref_true;
        std::vector<std::int64_t> ref_wakes;
        for (const auto& w : reference_.wakes()) {
            ref_true.push_back(ms(w.woke_ns - w.deadline_ns));
            ref_wakes.push_back(w.woke_ns);
        }
        const Summary ref = summarize(ref_true);
        const Summary ref_aligned = summarize(grid_errors_ms(ref_wakes, interval));

        // Sends between two tick starts belong to the earlier tick; the sends
        // of the last tick end where recording ended.
        const auto& sends = midi_.sends();
        std::vector<double> spans;
        std::vector<double> send_ms;
        std::vector<double> send_ms_steady; // after the first two bars load their programs
        std::size_t max_sends = 0;
        std::size_t s = 0;
        while (s < sends.size() && sends[s].start_ns < starts.front()) {
            ++s;
        }
        for (std::size_t t = 0; t < starts.size(); ++t) {
            const std::int64_t next =
                t + 1 < starts.size() ? starts[t + 1] : std::numeric_limits<std::int64_t>::max();
            const std::size_t first = s;
            while (s < sends.size() && sends[s].start_ns < next) {
                const double d = ms(sends[s].end_ns - sends[s].start_ns);
                send_ms.push_back(d);
                if (t >= 2 * static_cast<std::size_t>(kTicksPerBar)) {
                    send_ms_steady.push_back(d);
                }
                ++s;
            }
            if (s > first) {
                spans.push_back(ms(sends[s - 1].end_ns - sends[first].start_ns));
                max_sends = std::max(max_sends, s - first);
            }
        }
        // The slowest sends, to tell a program change loading samples from a
        // note waiting for the synth's audio thread.
        std::vector<std::pair<std::size_t, std::size_t>> slow; // (send, tick)
        {
            std::size_t t = 0;
            for (std::size_t i = 0; i < sends.size(); ++i) {
                while (t + 1 < starts.size() && sends[i].start_ns >= starts[t + 1]) {
                    ++t;
                }
                if (sends[i].start_ns >= starts.front() &&
                    sends[i].end_ns - sends[i].start_ns > 500'000) {
                    slow.emplace_back(i, t);
                }
            }
        }
        std::fprintf(stderr, "sends over 0.5 ms: %zu\n", slow.size());
        for (const auto& [i, t] : slow) {
            std::fprintf(stderr, "  tick %zu (bar %zu): %.3f ms, message 0x%06X\n", t,
                         t / kTicksPerBar, ms(sends[i].end_ns - sends[i].start_ns),
                         static_cast<unsigned>(sends[i].message));
        }
        const Summary span = summarize(spans);
        const Summary send = summarize(send_ms);
        const Summary send_steady = summarize(send_ms_steady);
        const Summary handler = summarize(handler_ms);

        // Repaints: the update requests of the window between two tick starts.
        std::vector<double> repaint_ms;
        std::size_t r = 0;
        const auto& repaints = app_.repaints();
        for (std::size_t t = 0; t + 1 < starts.size(); ++t) {
            std::int64_t total = 0;
            while (r < repaints.size() && repaints[r].start_ns < starts[t + 1]) {
                if (repaints[r].start_ns >= starts[t]) {
                    total += repaints[r].end_ns - repaints[r].start_ns;
                }
                ++r;
            }
            repaint_ms.push_back(ms(total));
        }
        const Summary repaint = summarize(repaint_ms);

        // The whole process since it began, all threads (the synth's audio
        // thread included), for the script to tell our load from others'.
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double cpu_ms =
            static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;

        std::printf("result interval=%d duration=%.0f style=%d events_per_bar=%zu "
                    "tempo=%d ticks=%zu idle_timer_events=%zu late_by_interval=%zu "
                    "drift_pct=%.5f "
                    "onset_p50=%.3f onset_p99=%.3f onset_max=%.3f "
                    "ref_p50=%.3f ref_p99=%.3f ref_max=%.3f "
                    "ref_aligned_p50=%.3f ref_aligned_p99=%.3f ref_aligned_max=%.3f "
                    "span_p50=%.3f span_p99=%.3f span_max=%.3f ticks_with_sends=%zu "
                    "max_sends_per_tick=%zu sends=%zu sends_over_half_ms=%zu "
                    "send_p50=%.4f send_p99=%.4f send_max=%.3f send_max_after_2_bars=%.3f "
                    "handler_p50=%.3f handler_p99=%.3f handler_max=%.3f "
                    "repaint_p50=%.3f repaint_p99=%.3f repaint_max=%.3f messages=%zu cpu_ms=%.0f\n",
                    options_.interval_ms, options_.duration_s, form.r.sttil, styles_.events,
                    form.r.tempo, starts.size(), idle_events, late_by_interval, drift_pct,
                    onset.p50, onset.p99, onset.max, ref.p50, ref.p99, ref.max, ref_aligned.p50,
                    ref_aligned.p99, ref_aligned.max, span.p50, span.p99, span.max, spans.size(),
                    max_sends, send_ms.size(), slow.size(), send.p50, send.p99, send.max,
                    send_steady.max, handler.p50, handler.p99, handler.max, repaint.p50,
                    repaint.p99, repaint.max, shown_messages_, cpu_ms);
        std::fflush(stdout);
    }

    void begin_measuring() {
        app_.watch(&program_.form1().r);
        app_.set_recording(true);
        midi_.set_recording(true);
    }

    void run_reference() {
        const std::int64_t interval = static_cast<std::int64_t>(options_.interval_ms) * 1'000'000;
        const std::int64_t now = mono_ns();
        reference_.start(interval, now + interval,
                         now + static_cast<std::int64_t>(options_.duration_s * 1e9));
    }

    void finish(std::size_t shown_messages) {
        app_.set_recording(false);
        midi_.set_recording(false);
        reference_.join();
        shown_messages_ = shown_messages;
        print_result();
        if (program_.form1().r.rhythm_running == kTrue) {
            view_.click(ControlId{Ctl::Command2}); // "Стоп"
        }
    }

private:
    void select_style(int style) {
        Form1& form = program_.form1();
        while (form.r.sttil != style) {
            const int before = form.r.sttil;
            const ControlId arrow{Ctl::Command1, form.r.sttil < style ? 1 : 0};
            view_.mouse_down(arrow, kLeftButton, 0);
            view_.mouse_up(kLeftButton, 0);
            if (form.r.sttil == before) {
                return; // the arrows do nothing (yet)
            }
        }
    }

    ProbeApplication& app_;
    Program& program_;
    ProgramView& view_;
    TimingMidi& midi_;
    Options options_;
    StylePick styles_;
    ReferenceTicker reference_;
    std::size_t shown_messages_ = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: %s --interval MS [--duration S]\n", argv[0]);
        return 2;
    }

    ProbeApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    MemorySettingsStore settings;
    DiskStyleFile style_file(locate_style_file(executable_dir()));
    const auto bytes = style_file.read();
    if (bytes.status != StyleFileSource::Status::Ok) {
        std::fprintf(stderr, "no style file at %s\n", style_file.path().c_str());
        return 1;
    }
    StylePick styles = pick_styles(bytes.bytes);

    // The programs the styles use stay loaded, as in the program.
    std::unique_ptr<MidiSystem> system = make_system_midi(programs_to_keep_loaded(bytes.bytes));
    auto* system_midi = dynamic_cast<SystemMidi*>(system.get());
    TimingMidi midi(std::move(system));
    SilentDialogs dialogs;

    Program program(ProgramPorts{midi, settings, style_file, dialogs});
    if (!program.start()) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    if (system_midi != nullptr && !system_midi->synth().wait_until_loaded(30s)) {
        std::fprintf(stderr, "the SoundFont did not load\n");
    }

    ProgramView view(program, &midi);
    view.show();

    Session session(app, program, view, midi, *options, std::move(styles));
    int status = 0;
    auto finish = [&] {
        session.finish(dialogs.shown.size());
        for (const auto& message : dialogs.shown) {
            std::fprintf(stderr, "message box: %s\n", message.c_str());
        }
        QCoreApplication::exit(0);
    };
    // Let the window settle and its first paints pass before the rhythm starts.
    QTimer::singleShot(1000, &app, [&] {
        session.begin_measuring();
        if (!session.start()) {
            status = 1;
            QCoreApplication::exit(1);
            return;
        }
        session.run_reference();
        // A precise timer: a coarse one may end a minute's run 3 s early or late.
        QTimer::singleShot(static_cast<int>(options->duration_s * 1000), Qt::PreciseTimer, &app,
                           finish);
    });
    const int loop = QApplication::exec();
    if (!program.ended()) {
        program.exit_program();
    }
    return status != 0 ? status : loop;
}
