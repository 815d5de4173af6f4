// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The built-in General MIDI synthesizer: FluidSynth with a GM SoundFont,
// standing where the operating system's default synth would.
//
// Every call comes from one thread (the GUI's). The SoundFont loads on a
// thread of its own so that opening returns at once; what is sent before it
// has loaded takes effect when it has (see PendingState).
//
// With samples loaded on demand, a program change to a program no channel
// holds reads that program's samples from the SoundFont on the caller's
// thread, for milliseconds. The programs named in Options::pinned_programs
// (and the standard drum kit) are therefore read by the loader, before the
// first send reaches FluidSynth, and stay loaded for the synth's lifetime.
//
// Time: every message carries the moment it belongs to (set_message_time,
// else the moment it is sent) and sounds one constant latency after it, at
// the 64-frame block FluidSynth renders at that moment rather than at the
// next audio period. FluidSynth's sequencer, advanced by the synth's own
// sample clock, wakes the renderer for each moment; the messages themselves
// wait in a queue of ours in the order they were sent, since the sequencer
// orders events of one tick by type. A message later than the latency sounds
// at the next block, still in order. Program changes are applied where they
// fall due, on the audio thread, so the sending thread first reads the
// samples of a program that is not pinned and holds them until the channel
// has moved on; the audio thread never waits for a lock held across a read.
//
// FluidSynth's JACK audio driver starts a JACK server unless the environment
// has JACK_NO_START_SERVER set; whoever makes the synth sets it first, before
// any thread runs (make_system_midi does).

#include "midi/backends/audio_output.h"
#include "midi/backends/builtin_synth_clock.h"
#include "midi/backends/builtin_synth_level.h"
#include "midi/backends/builtin_synth_pending.h"
#include "midi/backends/builtin_synth_pins.h"
#include "midi/backends/builtin_synth_queue.h"
#include "midi/midi_port.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace varkelon {

class FluidParts;

// The first GM SoundFont found: $VARKELON_SOUNDFONT when set, else the
// system's default-GM, FluidR3_GM or TimGM6mb in /usr/share/sounds/sf2.
// Empty when there is none.
std::string find_gm_soundfont();

class BuiltinSynth : private AudioSource {
public:
    enum class Output : std::uint8_t {
        Audio,  // plays through the default audio output
        Render, // no audio device: the caller pulls samples with render()
    };
    struct Options {
        std::string soundfont; // path of the SoundFont; empty = none found
        Output output = Output::Audio;
        double sample_rate = 48000.0;
        int period_frames = 256; // audio buffer period; keeps latency near 5 ms
        // Reads a program's samples when a channel first selects it rather
        // than the whole SoundFont up front: far less memory, a quicker load.
        bool samples_on_demand = true;
        // Melodic programs (bank 0) whose samples stay loaded from the end of
        // the SoundFont load on, so selecting them never reads the disk. Those
        // outside 0..127 or missing from the SoundFont are skipped.
        std::vector<int> pinned_programs{};
        // Room for a handler that runs late, in milliseconds: a message
        // sounds this long after its moment, plus the period the audio
        // output renders ahead and one 64-frame block. 7 keeps a key's sound
        // within 15 ms of the key at 256-frame periods (bench/RESULTS.md).
        // 0 hands every message to FluidSynth at once, to sound at the start
        // of the next period rendered.
        double latency_ms = 7.0;
        // The clock the moments are read against; tests render on a virtual one.
        std::function<MidiClock::time_point()> clock = MidiClock::now;

        // How the audio output shows in the sound server's mixer.
        std::string stream_name = "Варкелон";
        std::string icon_name = "varkelon";
        std::string media_role = "music";
        // FluidSynth's gain: the demonstration at the start's levels peaks
        // near -2 dBFS (FluidSynth's own 0.2 left it near -20); the limiter
        // keeps what is louder from clipping (bench/RESULTS.md).
        double gain = 1.5;
        // The limiter's ceiling, in dB below full scale.
        double ceiling_dbfs = -0.5;
        // After this long with nothing sounding and nothing sent, the synth
        // stops rendering and its output stops asking the server for audio,
        // until wake() or a send. 0: never.
        double sleep_after_s = 15.0;
    };

    explicit BuiltinSynth(Options options);
    ~BuiltinSynth() override;
    BuiltinSynth(const BuiltinSynth&) = delete;
    BuiltinSynth& operator=(const BuiltinSynth&) = delete;

    // 0, or kNoSoundFont / kNoSynth / kNoAudioOutput. Returns without waiting
    // for the SoundFont, so a SoundFont that turns out not to load fails only
    // the opens after its load has ended (kNoSoundFont). The synth and its
    // SoundFont outlive close(), so opening again is quick and keeps the
    // channels' programs.
    int open();
    void send(std::uint32_t message);
    // The messages sent from now on belong to `at`, on Options::clock.
    void set_message_time(MidiClock::time_point at) { message_time_ = at; }
    // Cuts every voice at once, what waits to sound included (the program
    // changes and controllers among it take effect at once), at once and releases the audio output.
    void close();
    bool is_open() const { return open_; }
    // Any thread's: a sign that the user is about to play (the window
    // activated, the pointer entering it, a key, a MIDI message). A synth
    // that sleeps asks its output for audio again, so the next note sounds
    // at the usual latency. Sends wake it as well.
    void wake();
    // For tests: whether the synth has stopped rendering.
    bool asleep() const { return asleep_.load(); }

    // For tests and the benchmark: waits until the SoundFont has loaded (or
    // failed to). True when it loaded.
    bool wait_until_loaded(std::chrono::milliseconds timeout);
    // Render output only: writes `frames` stereo frames, interleaved L R.
    // `cycle_started_ago`: as an output that tells when its server began
    // the cycle would (see AudioSource::cycle_started).
    void render(float* stereo, int frames,
                std::optional<std::chrono::nanoseconds> cycle_started_ago = std::nullopt);

private:
    // Reads and lets go of samples in the synth's SoundFont; every read
    // holds sample_read_mutex_.
    class FluidSamples final : public PresetPins::Samples {
    public:
        explicit FluidSamples(BuiltinSynth& synth) : synth_(synth) {}
        bool pin(int bank, int program) override;
        void unpin(int bank, int program) override;

    private:
        BuiltinSynth& synth_;
    };
    struct SequencerHooks;
    friend struct SequencerHooks;

    // The audio thread's: renders, limits, and watches for silence.
    bool render(float* left, float* right, int frames, int stride) override;
    void cycle_started(std::chrono::nanoseconds ago) override;
    static int render_for_fluid(void* self, int frames, int nfx, float* fx[], int nout,
                                float* out[]);
    bool start_output();

    void load_soundfont(); // runs on loader_
    void apply(std::uint32_t message);

    // The sending threads' side, with mutex_ held.
    void schedule(std::uint32_t message, MidiClock::time_point at);
    double lead_ms(); // rendered time - host time, at the rendering front

    // The audio thread's side, called by FluidSynth's sequencer (through
    // SequencerHooks) at the moment of a message, and at every block.
    void dispatch(unsigned int time);
    void sample_clock(unsigned int time);
    void arm_clock();

    bool scheduled() const { return options_.latency_ms > 0; }
    double host_ms(MidiClock::time_point t) const;

    Options options_;
    std::unique_ptr<FluidParts> fluid_;
    bool open_ = false;

    std::mutex mutex_;
    std::condition_variable load_done_;
    bool load_finished_ = false;            // guarded by mutex_
    bool loaded_ = false;                   // guarded by mutex_
    std::unique_ptr<PendingState> pending_; // guarded by mutex_
    std::thread loader_;

    // Scheduling; the sending side's state is guarded by mutex_.
    std::optional<MidiClock::time_point> message_time_; // the event thread's
    int soundfont_id_ = -1;
    std::optional<unsigned> last_dispatch_;
    FluidSamples samples_{*this};
    PresetPins pins_{samples_};

    TimedQueue queue_; // between the senders and the audio thread
    // Held across every read of samples; the audio thread only tries it.
    std::mutex sample_read_mutex_;
    RenderingFront front_; // kept by the audio thread
    // The audio thread's: when the server began the cycle being rendered,
    // on the host clock in ms, where the output said so.
    std::optional<double> cycle_host_ms_;
    // The audio thread's: frames the synth has rendered, the count its
    // sequencer's time is made of.
    std::uint64_t frames_rendered_ = 0;

    std::unique_ptr<AudioOutput> output_; // the synth's own, else FluidSynth's driver
    PeakLimiter limiter_;
    SilenceWatch silence_; // the audio thread's
    std::atomic<bool> asleep_{false};
    std::atomic<std::uint64_t> activity_{0}; // counts sends and wake-ups
};

} // namespace varkelon
