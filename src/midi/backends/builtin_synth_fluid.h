// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// FluidSynth as the built-in synth uses it: the settings, the synth, the
// sequencer that keeps the synth's sample clock with the two clients the
// synth is woken through, and FluidSynth's own audio drivers, which stand
// behind the synth's own outputs.

#include <fluidsynth.h>

#include <memory>

namespace varkelon {

// A seam for tests and benchmarks: while set, every open of a SoundFont file
// by a built-in synth made from then on is reported to `hook` (once for the
// load, then once for every preset whose samples are read). Unset, as in the
// program, FluidSynth reads the file its own way.
using SoundFontOpenHook = void (*)();
void set_soundfont_open_hook(SoundFontOpenHook hook);

struct FluidSetup {
    double sample_rate = 48000.0;
    int period_frames = 256;
    bool samples_on_demand = true;
    double gain = 0.2; // FluidSynth's own
};

class FluidParts {
public:
    // The sequencer's clients: `dispatch` is woken at the moments of
    // messages, `clock` at every block; both get `data`.
    struct Clients {
        fluid_event_callback_t dispatch;
        fluid_event_callback_t clock;
        void* data;
    };

    // Null when FluidSynth could not be set up.
    static std::unique_ptr<FluidParts> make(const FluidSetup& setup, const Clients& clients);
    ~FluidParts() = default;
    FluidParts(const FluidParts&) = delete;
    FluidParts& operator=(const FluidParts&) = delete;

    fluid_synth_t* synth() const { return synth_.get(); }
    fluid_sequencer_t* sequencer() const { return sequencer_.get(); }
    fluid_seq_id_t dispatch_client() const { return dispatch_client_; }
    fluid_seq_id_t clock_client() const { return clock_client_; }
    // Timer events to those clients: the senders', the audio thread's retry,
    // and the audio thread's clock (and open's, while the output is stopped).
    fluid_event_t* dispatch_event() const { return dispatch_event_.get(); }
    fluid_event_t* retry_event() const { return retry_event_.get(); }
    fluid_event_t* clock_event() const { return clock_event_.get(); }

    // Starts the first of FluidSynth's audio drivers that opens, rendering
    // through `render`; false when none does.
    bool start_audio(fluid_audio_func_t render, void* data);
    // Stops it: from its return on, nothing renders.
    void stop_audio();

private:
    FluidParts() = default;

    struct Deleter {
        void operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
        void operator()(fluid_synth_t* p) const { delete_fluid_synth(p); }
        void operator()(fluid_sequencer_t* p) const { delete_fluid_sequencer(p); }
        void operator()(fluid_event_t* p) const { delete_fluid_event(p); }
        void operator()(fluid_audio_driver_t* p) const { delete_fluid_audio_driver(p); }
    };
    template <class T> using Owned = std::unique_ptr<T, Deleter>;

    // Destroyed in reverse order: the audio driver stops before the sequencer
    // it drives, the sequencer before the synth that clocks it.
    Owned<fluid_settings_t> settings_;
    Owned<fluid_synth_t> synth_;
    Owned<fluid_sequencer_t> sequencer_;
    fluid_seq_id_t dispatch_client_ = -1;
    fluid_seq_id_t clock_client_ = -1;
    Owned<fluid_event_t> dispatch_event_;
    Owned<fluid_event_t> retry_event_;
    Owned<fluid_event_t> clock_event_;
    Owned<fluid_audio_driver_t> driver_;
};

} // namespace varkelon
