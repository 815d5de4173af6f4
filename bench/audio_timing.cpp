// SPDX-License-Identifier: GPL-3.0-or-later
// Timing at the audio output of the real program: Program and ProgramView on
// the Qt event loop, the system's MIDI outputs with the built-in synth playing
// into a JACK server, and a JACK client of this process recording what the
// synth hands to JACK.
//
// Usage: bench_audio_timing [--latency-ms MS] [--rhythm-s S] [--keys N] [--rest-s R]
//                           [--ticks FILE]
//
// The rhythm plays the first style (started as a user would: "Аккомпанемент",
// then a chord key) for S seconds, then N solo key presses come through the
// input router at random moments while the rhythm is stopped. So that every
// sound's start can be found in the recording, this bench hands the synth one
// claves hit for each event that sends note-ons, in place of those notes;
// everything else the program sends it drops. The timing path is the
// program's: the view's time stamps, the synth's scheduling, the JACK driver.
//
// Prints one "result" line of key=value pairs, times in milliseconds:
//   onset_*   the claves' start in the recorded stream, against the tick's due
//             time, less their median (p50/p99/max of the absolute error)
//   latency   that median: due time to the sample's place in the stream
//   late_*    how late the tick handlers ran (first send - due time)
//   key_*     key press to the start of the JACK cycle that takes the period
//             holding the onset from the synth, i.e. when it leaves our buffers
//   cpu_pct   CPU of this process (all threads) while the rhythm played, % of one core
//   missed    ticks and key presses whose sound was not found in the recording
//   dropouts  cycles the recorder missed (its graph frame time jumped)
//   jumps     onsets more than 2 ms off; recorders_jumps those, and those off
//             the grid, within 60 ms after a dropout of the recorder's, which
//             it caused
//   onset_p99_program  onset_p99 without what recorders_jumps counts
//   off_grid  hits found away from the place within FluidSynth's 64-frame
//             blocks where all the others start (frames lost in recording)
//   cycle_spread  p99 of how far the server's cycle starts (jack_frames_to_time
//             of each cycle's first frame) lie from one period apart: near 0
//             when the server's clock runs evenly, which the onsets lean on
// --ticks FILE appends one line per tick: its due time, the signed onset
// error, how late its handler ran, and the onset's frame modulo FluidSynth's
// 64-frame block (all in ms but the last).
// --latency-ms 0 hands every message to FluidSynth at once, as before.
//
// --rest-s R (R > 0): after the key presses, R seconds with nothing played,
// so the synth falls asleep; then the pointer enters the window (the sign
// the program wakes its audio output at), and 0.5 s later "Старт" starts the
// rhythm for 3 s. Adds, in milliseconds against `latency` above:
//   warned_asleep  1 when the synth slept before the pointer came
//   warned_first   the first tick's error after the rest (signed: + is late)
//   warned_next    the largest error of the ticks after it

#include "adapters/disk_style_file.h"
#include "app/fakes.h"
#include "app/main_window.h"
#include "app/program.h"
#include "bench_stats.h"
#include "midi/backends/builtin_synth_clock.h"
#include "midi/backends/system_midi.h"
#include "midi/midi_facts.h"
#include "ui/audio_wake.h"
#include "ui/main_window_view.h"
#include "ui/program_view.h"

#include <jack/jack.h>

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace varkelon;
using namespace std::chrono_literals;

double mono_ms(MidiClock::time_point t) {
    return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
}

// What the program sends, reduced to one claves hit per event with note-ons,
// with the moment the view gave the event and when its first send came.
class ClavesMidi final : public bench::WrappedMidi {
public:
    struct Hit {
        double stamp_ms;
        double sent_ms;
    };

    using WrappedMidi::WrappedMidi;
    void set_message_time(MidiClock::time_point at) override {
        stamp_ = at;
        hit_ = false;
        inner().set_message_time(at);
    }
    void send(std::uint32_t message) override {
        const bool note_on = unpack_short_message(message).is_sounding_note_on();
        if (!note_on || hit_ || !recording_) {
            return;
        }
        hit_ = true;
        hits_.push_back({mono_ms(stamp_), mono_ms(MidiClock::now())});
        inner().send(pack_short_message(status_byte(kNoteOn, kDrumChannel), 75, 110));
    }
    void record(bool on) { recording_ = on; }
    std::vector<Hit>& hits() { return hits_; }

private:
    MidiClock::time_point stamp_ = MidiClock::now();
    bool hit_ = false;
    bool recording_ = false;
    std::vector<Hit> hits_;
};

// Records the synth's left output: the samples and each cycle's start on
// the monotonic clock.
class Recorder {
public:
    static constexpr std::size_t kMaxFrames = 48000 * 120;

    bool start() {
        client_ = jack_client_open("varkelon-recorder", JackNoStartServer, nullptr);
        if (client_ == nullptr) {
            return false;
        }
        rate_ = jack_get_sample_rate(client_);
        port_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        samples_.resize(kMaxFrames);
        cycles_.resize(kMaxFrames / 16);
        jack_set_process_callback(client_, &Recorder::process, this);
        if (port_ == nullptr || jack_activate(client_) != 0) {
            return false;
        }
        const char** ports =
            jack_get_ports(client_, "^Варкелон", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        const bool found = ports != nullptr && ports[0] != nullptr;
        if (found) {
            jack_connect(client_, ports[0], jack_port_name(port_));
        }
        jack_free(ports);
        // JACK's clock against ours: both monotonic, read side by side.
        const double ours = mono_ms(MidiClock::now());
        jack_offset_ms_ = ours - static_cast<double>(jack_get_time()) / 1000.0;
        return found;
    }
    void stop() {
        if (client_ != nullptr) {
            jack_deactivate(client_);
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    void record(bool on) { recording_.store(on); }
    int dropouts() const { return dropouts_.load(); }
    // Whether the recorder missed a cycle within `before_ms` before `frame`
    // of the recording (or in the cycle holding it).
    bool dropout_before(std::size_t frame, double before_ms) const {
        const auto span = static_cast<std::size_t>(before_ms * rate_ / 1000.0);
        const int n = std::min(dropouts_.load(), static_cast<int>(dropout_frames_.size()));
        for (int i = 0; i < n; ++i) {
            const std::size_t at = dropout_frames_[static_cast<std::size_t>(i)];
            if (at <= frame + 1024 && at + span >= frame) {
                return true;
            }
        }
        return false;
    }

    // p99 of |cycle length - the median length|, in ms, from the cycles'
    // start times as the server tells them.
    double cycle_spread_ms() const {
        const std::size_t n = cycle_count_.load();
        std::vector<double> lengths;
        for (std::size_t i = 1; i < n; ++i) {
            lengths.push_back((cycles_[i].start_us - cycles_[i - 1].start_us) / 1000.0);
        }
        if (lengths.empty()) {
            return 0;
        }
        const double median = bench::percentile(lengths, 0.5);
        for (double& l : lengths) {
            l = std::abs(l - median);
        }
        return bench::percentile(lengths, 0.99);
    }

    struct Onset {
        double stream_ms;  // the sample's place in the stream
        double cycle_ms;   // start of the cycle that took it from the synth
        std::size_t frame; // in the recording
    };
    // Sound crossing a tenth of the peak after at least `quiet_ms` below it.
    std::vector<Onset> onsets(double quiet_ms) const {
        const std::size_t frames = frames_.load();
        float peak = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            peak = std::max(peak, std::abs(samples_[i]));
        }
        const float threshold = peak * 0.1F;
        const auto quiet = static_cast<std::ptrdiff_t>(quiet_ms * rate_ / 1000.0);
        std::vector<Onset> found;
        std::ptrdiff_t last_loud = -quiet - 1;
        std::size_t cycle = 0;
        const std::size_t cycles = cycle_count_.load();
        for (std::size_t i = 0; i < frames; ++i) {
            if (std::abs(samples_[i]) <= threshold) {
                continue;
            }
            const auto at = static_cast<std::ptrdiff_t>(i);
            if (at - last_loud > quiet) {
                // Every hit is the same sample at the same velocity, so the
                // crossing lies a fixed few frames after the sound's start.
                // (Tracing back to where the sound leaves the last hit's
                // tail, as this did before, moved with that tail by up to
                // 20 frames, 0.4 ms, and showed as onset error.)
                const std::size_t first = i;
                while (cycle + 1 < cycles && cycles_[cycle + 1].first_frame <= first) {
                    ++cycle;
                }
                const Cycle& c = cycles_[cycle];
                const double start_ms = c.start_us / 1000.0 + jack_offset_ms_;
                found.push_back(
                    {start_ms + static_cast<double>(first - c.first_frame) * 1000.0 / rate_,
                     start_ms, first});
            }
            last_loud = at;
        }
        return found;
    }

private:
    struct Cycle {
        std::size_t first_frame;
        double start_us;
    };

    static int process(jack_nframes_t frames, void* self) {
        auto& r = *static_cast<Recorder*>(self);
        if (!r.recording_.load()) {
            return 0;
        }
        const std::size_t at = r.frames_.load();
        const std::size_t cycle = r.cycle_count_.load();
        if (at + frames > r.samples_.size() || cycle >= r.cycles_.size()) {
            return 0;
        }
        // A cycle that does not start where the last one ended: the recorder
        // missed audio (its own dropout), which the graph's time stamps
        // below keep from shifting the onsets after it.
        const jack_nframes_t first = jack_last_frame_time(r.client_);
        if (cycle > 0 && first != r.next_frame_) {
            const int n = r.dropouts_.load();
            if (static_cast<std::size_t>(n) < r.dropout_frames_.size()) {
                r.dropout_frames_[static_cast<std::size_t>(n)] = at;
            }
            r.dropouts_.store(n + 1);
        }
        r.next_frame_ = first + frames;
        const auto* in = static_cast<const float*>(jack_port_get_buffer(r.port_, frames));
        std::copy(in, in + frames, r.samples_.begin() + static_cast<std::ptrdiff_t>(at));
        r.cycles_[cycle] = {at, static_cast<double>(jack_frames_to_time(r.client_, first))};
        r.cycle_count_.store(cycle + 1);
        r.frames_.store(at + frames);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    double rate_ = 48000;
    double jack_offset_ms_ = 0;
    std::atomic<bool> recording_{false};
    std::vector<float> samples_;
    std::vector<Cycle> cycles_;
    std::atomic<std::size_t> frames_{0};
    std::atomic<std::size_t> cycle_count_{0};
    jack_nframes_t next_frame_ = 0; // the process callback's
    std::atomic<int> dropouts_{0};
    std::vector<std::size_t> dropout_frames_ = std::vector<std::size_t>(4096);
};

using bench::cpu_ms;
using bench::percentile;

// The first onset at or after `from_ms`, within `window_ms`.
const Recorder::Onset* onset_after(const std::vector<Recorder::Onset>& onsets, double from_ms,
                                   double window_ms) {
    const auto it =
        std::lower_bound(onsets.begin(), onsets.end(), from_ms,
                         [](const Recorder::Onset& o, double t) { return o.stream_ms < t; });
    return it != onsets.end() && it->stream_ms < from_ms + window_ms ? &*it : nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    double latency_ms = 10.0;
    double rhythm_s = 20;
    int keys = 40;
    double rest_s = 0;
    std::string ticks_path;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--latency-ms") {
            latency_ms = std::atof(argv[i + 1]);
        } else if (arg == "--rhythm-s") {
            rhythm_s = std::atof(argv[i + 1]);
        } else if (arg == "--keys") {
            keys = std::atoi(argv[i + 1]);
        } else if (arg == "--rest-s") {
            rest_s = std::atof(argv[i + 1]);
        } else if (arg == "--ticks") {
            ticks_path = argv[i + 1];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--latency-ms MS] [--rhythm-s S] [--keys N] [--rest-s R] "
                         "[--ticks FILE]\n",
                         argv[0]);
            return 2;
        }
    }

    setenv("JACK_NO_START_SERVER", "1", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    MemorySettingsStore settings;
    DiskStyleFile style_file(locate_style_file(executable_dir()));
    SystemMidi::Options midi_options =
        default_system_midi_options(programs_to_keep_loaded(style_file.read().bytes));
    midi_options.synth.latency_ms = latency_ms;
    auto system = std::make_unique<SystemMidi>(midi_options);
    SystemMidi& system_midi = *system;
    ClavesMidi midi(std::move(system));
    ScriptedDialogs dialogs;

    Program program(ProgramPorts{midi, settings, style_file, dialogs});
    if (!program.start() || !system_midi.synth().wait_until_loaded(30s)) {
        std::fprintf(stderr, "the program or its SoundFont did not start\n");
        return 1;
    }
    ProgramView view(program, &midi);
    view.show();
    // As the program wakes its audio output.
    AudioWakeFilter audio_wake([&system_midi] { system_midi.synth().wake(); });
    app.installEventFilter(&audio_wake);

    Recorder recorder;
    if (!recorder.start()) {
        std::fprintf(stderr, "no JACK server, or the synth's ports are not in it\n");
        return 1;
    }

    double cpu_start = 0;
    double wall_start = 0;
    double cpu_pct = 0;
    std::vector<double> presses_ms;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> gap_ms(150, 260);
    int pressed = 0;
    QWindow* window = nullptr;

    // After the rest: the pointer comes, then "Старт", then "Стоп".
    bool warned_asleep = false;
    std::size_t warned_from = 0;
    std::size_t warned_to = 0;
    const auto warned_start = [&] {
        warned_asleep = system_midi.synth().asleep();
        const QPointF inside(20, 20);
        QEnterEvent enter(inside, inside, inside);
        QCoreApplication::sendEvent(window, &enter);
        QTimer::singleShot(500, Qt::PreciseTimer, &app, [&] {
            warned_from = midi.hits().size();
            view.click(ControlId{Ctl::Command2}); // "Старт"
            QTimer::singleShot(3000, Qt::PreciseTimer, &app, [&] {
                view.click(ControlId{Ctl::Command2}); // "Стоп"
                warned_to = midi.hits().size();
                QTimer::singleShot(500, &app, [] { QCoreApplication::exit(0); });
            });
        });
    };

    const auto press_next = [&](auto& self) -> void {
        if (pressed == keys) {
            if (rest_s > 0) {
                QTimer::singleShot(static_cast<int>(rest_s * 1000), &app, warned_start);
            } else {
                QTimer::singleShot(500, &app, [] { QCoreApplication::exit(0); });
            }
            return;
        }
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, QStringLiteral("z"));
        presses_ms.push_back(mono_ms(MidiClock::now()));
        QCoreApplication::sendEvent(window, &down);
        QTimer::singleShot(80, &app, [&] {
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_Z, Qt::NoModifier, QStringLiteral("z"));
            QCoreApplication::sendEvent(window, &up);
        });
        ++pressed;
        QTimer::singleShot(gap_ms(random), &app, [&self] { self(self); });
    };

    std::size_t rhythm_hits = 0;
    QTimer::singleShot(1000, &app, [&] {
        window = view.main_window().windowHandle();
        midi.record(true);
        recorder.record(true);
        cpu_start = cpu_ms();
        wall_start = mono_ms(MidiClock::now());
        view.click(ControlId{Ctl::Command7}); // accompaniment mode: arms the start
        view.key_down(0x5A, 0);               // Z: chord C major, starts the rhythm
        view.key_up(0x5A, 0);
        QTimer::singleShot(static_cast<int>(rhythm_s * 1000), Qt::PreciseTimer, &app, [&] {
            cpu_pct = 100.0 * (cpu_ms() - cpu_start) / (mono_ms(MidiClock::now()) - wall_start);
            view.click(ControlId{Ctl::Command2}); // "Стоп"
            view.click(ControlId{Ctl::Command7}); // accompaniment off: Z plays a solo note
            rhythm_hits = midi.hits().size();
            QTimer::singleShot(1000, &app, [&] { press_next(press_next); });
        });
    });
    QApplication::exec();
    recorder.record(false);
    recorder.stop();
    if (!program.ended()) {
        program.exit_program();
    }

    const auto onsets = recorder.onsets(30.0);
    const auto& hits = midi.hits();
    // The first hit is the chord key that starts the rhythm; the ticks follow.
    std::vector<double> delays;
    std::vector<double> lateness;
    std::vector<std::size_t> onset_frames;
    std::vector<double> due_ms; // since the rhythm began
    std::size_t missed = 0;
    for (std::size_t i = 1; i < rhythm_hits; ++i) {
        const Recorder::Onset* o = onset_after(onsets, hits[i].stamp_ms, 60.0);
        if (o == nullptr) {
            ++missed;
            continue;
        }
        delays.push_back(o->stream_ms - hits[i].stamp_ms);
        due_ms.push_back(hits[i].stamp_ms - wall_start);
        onset_frames.push_back(o->frame);
        lateness.push_back(hits[i].sent_ms - hits[i].stamp_ms);
    }
    const double latency = percentile(delays, 0.5);
    std::vector<double> errors;
    // FluidSynth starts every sound at the start of one of its 64-frame
    // blocks, so every hit's crossing lies at one place within the blocks of
    // the recording: the grid's phase, the most common place. A hit found
    // elsewhere has lost frames in the recording.
    constexpr auto kBlock = static_cast<std::size_t>(varkelon::kFluidBlockFrames);
    std::vector<int> places(kBlock, 0);
    for (const std::size_t frame : onset_frames) {
        ++places[frame % kBlock];
    }
    const auto phase = static_cast<std::size_t>(
        std::distance(places.begin(), std::max_element(places.begin(), places.end())));
    const auto off_grid = [&](std::size_t frame) {
        const std::size_t d = (frame + kBlock - phase) % kBlock;
        return d > 1 && d < kBlock - 1;
    };
    // A jump (more than 2 ms off), or a hit off the grid, that follows a
    // dropout of the recorder's own is the recorder's; the rest are the
    // program's.
    std::vector<double> errors_but_recorders;
    int jumps = 0;
    int recorders_jumps = 0;
    int off_grid_count = 0;
    if (!ticks_path.empty()) {
        if (std::FILE* f = std::fopen(ticks_path.c_str(), "a"); f != nullptr) {
            for (std::size_t i = 0; i < delays.size(); ++i) {
                std::fprintf(f, "%.3f %+.3f %.3f %zu\n", due_ms[i], delays[i] - latency,
                             lateness[i], onset_frames[i] % kBlock);
            }
            std::fclose(f);
        }
    }
    for (std::size_t i = 0; i < delays.size(); ++i) {
        const double error = std::abs(delays[i] - latency);
        errors.push_back(error);
        const bool jump = error > 2.0;
        const bool off = off_grid(onset_frames[i]);
        const bool recorders = (jump || off) && recorder.dropout_before(onset_frames[i], 60.0);
        off_grid_count += off ? 1 : 0;
        jumps += jump ? 1 : 0;
        recorders_jumps += recorders ? 1 : 0;
        if (!recorders) {
            errors_but_recorders.push_back(error);
        }
    }
    std::vector<double> warned; // signed errors of the ticks after the rest
    for (std::size_t i = warned_from; i < warned_to; ++i) {
        if (const Recorder::Onset* o = onset_after(onsets, hits[i].stamp_ms, 60.0)) {
            warned.push_back(o->stream_ms - hits[i].stamp_ms - latency);
        } else {
            ++missed;
        }
    }
    std::vector<double> key_ms;
    for (const double at : presses_ms) {
        if (const Recorder::Onset* o = onset_after(onsets, at, 100.0)) {
            key_ms.push_back(o->cycle_ms - at);
        } else {
            ++missed;
        }
    }
    std::printf("result latency_setting=%.1f ticks=%zu missed=%zu latency=%.2f onset_p50=%.2f "
                "onset_p99=%.2f onset_max=%.2f late_p50=%.2f late_p99=%.2f late_max=%.2f "
                "keys=%zu key_p50=%.2f key_p99=%.2f key_max=%.2f cpu_pct=%.1f dropouts=%d "
                "jumps=%d recorders_jumps=%d onset_p99_program=%.2f cycle_spread=%.3f "
                "off_grid=%d\n",
                latency_ms, delays.size(), missed, latency, percentile(errors, 0.5),
                percentile(errors, 0.99), percentile(errors, 1.0), percentile(lateness, 0.5),
                percentile(lateness, 0.99), percentile(lateness, 1.0), key_ms.size(),
                percentile(key_ms, 0.5), percentile(key_ms, 0.99), percentile(key_ms, 1.0), cpu_pct,
                recorder.dropouts(), jumps, recorders_jumps, percentile(errors_but_recorders, 0.99),
                recorder.cycle_spread_ms(), off_grid_count);
    if (rest_s > 0) {
        double next = 0;
        for (std::size_t i = 1; i < warned.size(); ++i) {
            next = std::max(next, std::abs(warned[i]));
        }
        std::printf("warned warned_asleep=%d warned_ticks=%zu warned_first=%.2f warned_next=%.2f\n",
                    warned_asleep ? 1 : 0, warned.size(), warned.empty() ? 0.0 : warned.front(),
                    next);
    }
    return 0;
}
