// SPDX-License-Identifier: GPL-3.0-or-later
// A MIDI keyboard struck with no warning after a long rest, against the same
// keyboard struck while the program's sound is running.
//
// Usage: bench_cold_note [--strikes N] [--rest-s S] [--steady N]
//                        [--sink-state COMMAND]
//
// Two JACK clients of this process: "bench-keyboard", a physical MIDI output
// as a hardware keyboard shows itself (the program connects its input to
// it), and "bench-recorder", an audio input linked to the program's output
// ports. Under PipeWire's JACK interface the recorder should be passive
// (PIPEWIRE_PROPS='node.passive=true'), so that it does not keep the sink
// awake itself.
//
// Each round: S seconds with nothing struck, COMMAND's output (the sink's
// state) read, then one note struck with no other sign, then N more strikes
// two seconds apart, while the sound still runs. A strike is two note-ons (a
// fifth) at the first frame of one of the keyboard's cycles, their note-offs
// 300 ms later; the program must pass both on, in that order.
// Its moment is that cycle's start on the graph's clock; its sound's moment
// is where the recording first rises above -60 dBFS and 8 times the last
// note's tail just before the strike, placed on the same
// clock by the recorder's cycle stamps (both monotonic). One line per strike:
//   strike round=R kind=cold|steady note=N state=STATE delay_ms=D dropouts=K
//          resumes=M [switches=W]
// delay_ms is "lost" when nothing sounded within 3 s. dropouts counts the
// recorder's own missed cycles up to that onset (its graph frame time
// jumping while the graph ran), resumes the graph starting again after
// standing still for more than 100 ms (the sink suspended), switches (cold
// strikes) its frame time changing clocks without a gap (moved to another
// driver), each from the strike to its onset.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int kSecond = 7;           // the strike's second note, a fifth above
constexpr float kThreshold = 0.001F; // -60 dBFS: the sleeping output writes zeros

struct Shared {
    jack_client_t* keyboard = nullptr;
    jack_port_t* midi_out = nullptr;
    jack_client_t* recorder = nullptr;
    jack_port_t* audio_in = nullptr;
    double rate = 48000;

    // Set by the main thread, taken by the keyboard's cycle.
    std::atomic<int> pending_note{-1};
    std::atomic<int> pending_off{-1};
    std::atomic<long long> strike_us{-1};

    // The recorder's watch for the next onset.
    std::atomic<bool> armed{false};
    std::atomic<long long> onset_us{-1};
    std::atomic<int> dropouts{0};
    std::atomic<int> cycles{0};
    std::atomic<int> resumes{0};
    std::atomic<int> switches{0};
    jack_nframes_t next_frame = 0; // the recorder's callback only
    double last_cycle_us = 0;      // the recorder's callback only
    bool ran = false;              // the recorder's callback only
    float tail = 0;                // the recorder's callback only, reset when armed
};

int keyboard_process(jack_nframes_t frames, void* arg) {
    auto& s = *static_cast<Shared*>(arg);
    void* buffer = jack_port_get_buffer(s.midi_out, frames);
    jack_midi_clear_buffer(buffer);
    const int off = s.pending_off.exchange(-1);
    if (off >= 0) {
        for (const int n : {off, off + kSecond}) {
            const std::array<jack_midi_data_t, 3> bytes{0x80, static_cast<jack_midi_data_t>(n), 0};
            jack_midi_event_write(buffer, 0, bytes.data(), bytes.size());
        }
    }
    const int note = s.pending_note.exchange(-1);
    if (note >= 0) {
        // Two notes in one cycle: the second must follow the first.
        for (const int n : {note, note + kSecond}) {
            const std::array<jack_midi_data_t, 3> bytes{0x90, static_cast<jack_midi_data_t>(n),
                                                        100};
            jack_midi_event_write(buffer, 0, bytes.data(), bytes.size());
        }
        s.strike_us.store(static_cast<long long>(
            jack_frames_to_time(s.keyboard, jack_last_frame_time(s.keyboard))));
    }
    return 0;
}

int recorder_process(jack_nframes_t frames, void* arg) {
    auto& s = *static_cast<Shared*>(arg);
    s.cycles.fetch_add(1);
    const jack_nframes_t first = jack_last_frame_time(s.recorder);
    const auto cycle_us = static_cast<double>(jack_frames_to_time(s.recorder, first));
    // A frame time that does not go on from the last cycle: after more than
    // 100 ms of standing still the graph resumed (the sink was suspended);
    // one period later it is another driver's clock (this client moved to
    // the sink's graph from the one that runs it while the sink sleeps);
    // in between, this recorder missed cycles.
    if (s.ran && first != s.next_frame) {
        const double gap_us = cycle_us - s.last_cycle_us;
        const double period_us = frames * 1e6 / s.rate;
        (gap_us > 100000            ? s.resumes
         : gap_us < 1.5 * period_us ? s.switches
                                    : s.dropouts)
            .fetch_add(1);
    }
    s.ran = true;
    s.next_frame = first + frames;
    s.last_cycle_us = cycle_us;
    if (!s.armed.load()) {
        return 0;
    }
    const auto* in = static_cast<const float*>(jack_port_get_buffer(s.audio_in, frames));
    const long long at = s.strike_us.load();
    if (at < 0 || cycle_us < static_cast<double>(at)) {
        // Before the strike: the last note's tail, which the onset must rise
        // well above.
        for (jack_nframes_t i = 0; i < frames; ++i) {
            s.tail = std::max(s.tail, std::abs(in[i]));
        }
        return 0;
    }
    const float threshold = std::max(kThreshold, 8 * s.tail);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        if (std::abs(in[i]) > threshold) {
            s.onset_us.store(static_cast<long long>(cycle_us + i * 1e6 / s.rate));
            s.armed.store(false);
            break;
        }
    }
    return 0;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        std::array<char, 256> line{};
        while (std::fgets(line.data(), line.size(), p) != nullptr) {
            out += line.data();
        }
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out.empty() ? "unknown" : out;
}

// One strike and its onset: the delay in ms, or a negative number when
// nothing sounded within 3 s.
double strike(Shared& s, int note) {
    s.onset_us.store(-1);
    s.strike_us.store(-1);
    s.armed.store(true);
    std::this_thread::sleep_for(20ms); // the tail's level, where the sound runs
    s.pending_note.store(note);
    const auto give_up = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < give_up && s.onset_us.load() < 0) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(300ms);
    s.pending_off.store(note);
    std::this_thread::sleep_for(50ms);
    s.armed.store(false);
    std::this_thread::sleep_for(20ms);
    s.tail = 0; // the recorder is disarmed: not in its callback's way
    const long long onset = s.onset_us.load();
    const long long at = s.strike_us.load();
    return onset < 0 || at < 0 ? -1.0 : static_cast<double>(onset - at) / 1000.0;
}

} // namespace

int main(int argc, char* argv[]) {
    int strikes = 5;
    int steady = 3;
    double rest_s = 32;
    std::string sink_state = "echo n/a";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--strikes") {
            strikes = std::atoi(argv[i + 1]);
        } else if (arg == "--steady") {
            steady = std::atoi(argv[i + 1]);
        } else if (arg == "--rest-s") {
            rest_s = std::atof(argv[i + 1]);
        } else if (arg == "--sink-state") {
            sink_state = argv[i + 1];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--strikes N] [--rest-s S] [--steady N] [--sink-state CMD]\n",
                         argv[0]);
            return 2;
        }
    }

    Shared s;
    s.keyboard = jack_client_open("bench-keyboard", JackNoStartServer, nullptr);
    s.recorder = jack_client_open("bench-recorder", JackNoStartServer, nullptr);
    if (s.keyboard == nullptr || s.recorder == nullptr) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    s.rate = jack_get_sample_rate(s.recorder);
    s.midi_out = jack_port_register(s.keyboard, "out", JACK_DEFAULT_MIDI_TYPE,
                                    JackPortIsOutput | JackPortIsPhysical | JackPortIsTerminal, 0);
    s.audio_in = jack_port_register(s.recorder, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(s.keyboard, &keyboard_process, &s);
    jack_set_process_callback(s.recorder, &recorder_process, &s);
    if (s.midi_out == nullptr || s.audio_in == nullptr || jack_activate(s.keyboard) != 0 ||
        jack_activate(s.recorder) != 0) {
        std::fprintf(stderr, "JACK clients not set up\n");
        return 1;
    }

    // The program's audio output: its first output port.
    const char** outs =
        jack_get_ports(s.recorder, "^Варкелон", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    if (outs == nullptr || outs[0] == nullptr) {
        std::fprintf(stderr, "the program's audio output is not found\n");
        return 1;
    }
    jack_connect(s.recorder, outs[0], jack_port_name(s.audio_in));
    std::fprintf(stderr, "recording %s\n", outs[0]);
    jack_free(static_cast<void*>(outs));
    // Hardware keyboards are connected by the program itself; wait for it.
    for (int i = 0; i < 100 && jack_port_connected(s.midi_out) == 0; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    if (jack_port_connected(s.midi_out) == 0) {
        std::fprintf(stderr, "the program did not connect to the keyboard\n");
        return 1;
    }

    const std::array<int, 4> notes{60, 64, 67, 72};
    for (int round = 1; round <= strikes; ++round) {
        std::this_thread::sleep_for(std::chrono::duration<double>(rest_s));
        const std::string state = run(sink_state);
        const int before = s.dropouts.load();
        const int resumed = s.resumes.load();
        const int switched = s.switches.load();
        const double cold = strike(s, notes[static_cast<std::size_t>(round) % notes.size()]);
        std::printf("strike round=%d kind=cold note=%d state=%s delay_ms=", round,
                    notes[static_cast<std::size_t>(round) % notes.size()], state.c_str());
        cold < 0 ? std::printf("lost") : std::printf("%.2f", cold);
        std::printf(" dropouts=%d resumes=%d switches=%d\n", s.dropouts.load() - before,
                    s.resumes.load() - resumed, s.switches.load() - switched);
        std::fflush(stdout);
        for (int k = 0; k < steady; ++k) {
            std::this_thread::sleep_for(1500ms);
            const std::string now = run(sink_state);
            const int b = s.dropouts.load();
            const int r = s.resumes.load();
            const double d = strike(s, notes[static_cast<std::size_t>(k + round) % notes.size()]);
            std::printf("strike round=%d kind=steady note=%d state=%s delay_ms=", round,
                        notes[static_cast<std::size_t>(k + round) % notes.size()], now.c_str());
            d < 0 ? std::printf("lost") : std::printf("%.2f", d);
            std::printf(" dropouts=%d resumes=%d\n", s.dropouts.load() - b, s.resumes.load() - r);
            std::fflush(stdout);
        }
    }
    jack_client_close(s.keyboard);
    jack_client_close(s.recorder);
    return 0;
}
