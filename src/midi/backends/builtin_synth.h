#pragma once

// The built-in General MIDI synthesizer: FluidSynth with a GM SoundFont,
// standing where the operating system's default synth would.
//
// Every call comes from one thread (the GUI's). The SoundFont loads on a
// thread of its own so that opening returns at once; what is sent before it
// has loaded takes effect when it has (see PendingState in the .cpp).
//
// With samples loaded on demand, a program change to a program no channel
// holds reads that program's samples from the SoundFont on the caller's
// thread, for milliseconds. The programs named in Options::pinned_programs
// (and the standard drum kit) are therefore read by the loader, before the
// first send reaches FluidSynth, and stay loaded for the synth's lifetime.
//
// FluidSynth's JACK audio driver starts a JACK server unless the environment
// has JACK_NO_START_SERVER set; whoever makes the synth sets it first, before
// any thread runs (make_system_midi does).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace varkelon {

// The first GM SoundFont found: $VARKELON_SOUNDFONT when set, else the
// system's default-GM, FluidR3_GM or TimGM6mb in /usr/share/sounds/sf2.
// Empty when there is none.
std::string find_gm_soundfont();

class BuiltinSynth {
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
    };

    explicit BuiltinSynth(Options options);
    ~BuiltinSynth();
    BuiltinSynth(const BuiltinSynth&) = delete;
    BuiltinSynth& operator=(const BuiltinSynth&) = delete;

    // 0, or kNoSoundFont / kNoSynth / kNoAudioOutput. Returns without waiting
    // for the SoundFont, so a SoundFont that turns out not to load fails only
    // the opens after its load has ended (kNoSoundFont). The synth and its
    // SoundFont outlive close(), so opening again is quick and keeps the
    // channels' programs.
    int open();
    void send(std::uint32_t message);
    // Cuts every voice at once and releases the audio output.
    void close();
    bool is_open() const { return open_; }

    // For tests and the benchmark: waits until the SoundFont has loaded (or
    // failed to). True when it loaded.
    bool wait_until_loaded(std::chrono::milliseconds timeout);
    // Render output only: writes `frames` stereo frames, interleaved L R.
    void render(float* stereo, int frames);
    // For tests and the benchmark: how often any built-in synth of this
    // process has opened its SoundFont file: once for the load, then once for
    // every program selection or pin that had samples to read.
    static std::uint64_t soundfont_opens();

private:
    struct Fluid;
    struct PendingState;

    void load_soundfont(); // runs on loader_
    void pin_presets(int soundfont_id);
    void apply(std::uint32_t message);

    Options options_;
    std::unique_ptr<Fluid> fluid_;
    bool open_ = false;

    std::mutex mutex_;
    std::condition_variable load_done_;
    bool load_finished_ = false;            // guarded by mutex_
    bool loaded_ = false;                   // guarded by mutex_
    std::unique_ptr<PendingState> pending_; // guarded by mutex_
    std::thread loader_;
};

} // namespace varkelon
