// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/builtin_synth_fluid.h"

#include <array>
#include <atomic>
#include <cstdio>

namespace varkelon {

namespace {

// Audio back-ends in the order a desktop offers them: the sound server
// (PipeWire answers as PulseAudio), then a running JACK server, then the
// ALSA default device.
constexpr std::array<const char*, 3> kAudioDrivers{"pulseaudio", "jack", "alsa"};

// Reading the SoundFont through these plain stdio callbacks rather than
// FluidSynth's own lets the opens be seen.
std::atomic<SoundFontOpenHook> open_hook{nullptr};

void* open_soundfont_file(const char* filename) {
    std::FILE* file = std::fopen(filename, "rb");
    if (file != nullptr) {
        if (const SoundFontOpenHook hook = open_hook.load(); hook != nullptr) {
            hook();
        }
    }
    return file;
}
int read_soundfont_file(void* buffer, fluid_long_long_t count, void* handle) {
    const auto size = static_cast<std::size_t>(count);
    return std::fread(buffer, 1, size, static_cast<std::FILE*>(handle)) == size ? FLUID_OK
                                                                                : FLUID_FAILED;
}
int seek_soundfont_file(void* handle, fluid_long_long_t offset, int origin) {
    return fseeko(static_cast<std::FILE*>(handle), static_cast<off_t>(offset), origin) == 0
               ? FLUID_OK
               : FLUID_FAILED;
}
fluid_long_long_t tell_soundfont_file(void* handle) {
    const off_t at = ftello(static_cast<std::FILE*>(handle));
    return at < 0 ? FLUID_FAILED : static_cast<fluid_long_long_t>(at);
}
int close_soundfont_file(void* handle) {
    return std::fclose(static_cast<std::FILE*>(handle)) == 0 ? FLUID_OK : FLUID_FAILED;
}

fluid_event_t* timer_event(fluid_seq_id_t client) {
    fluid_event_t* event = new_fluid_event();
    if (event != nullptr) {
        fluid_event_set_source(event, -1);
        fluid_event_set_dest(event, client);
        fluid_event_timer(event, nullptr);
    }
    return event;
}

} // namespace

void set_soundfont_open_hook(SoundFontOpenHook hook) {
    open_hook.store(hook);
}

std::unique_ptr<FluidParts> FluidParts::make(const FluidSetup& setup, const Clients& clients) {
    std::unique_ptr<FluidParts> fluid(new FluidParts);
    fluid->settings_.reset(new_fluid_settings());
    if (!fluid->settings_) {
        return nullptr;
    }
    fluid_settings_t* s = fluid->settings_.get();
    fluid_settings_setnum(s, "synth.sample-rate", setup.sample_rate);
    fluid_settings_setint(s, "audio.period-size", setup.period_frames);
    fluid_settings_setint(s, "audio.periods", 2);
    fluid_settings_setint(s, "synth.dynamic-sample-loading", setup.samples_on_demand ? 1 : 0);
    fluid_settings_setnum(s, "synth.gain", setup.gain);
    fluid_settings_setint(s, "audio.jack.autoconnect", 1);
    fluid_settings_setstr(s, "audio.jack.id", "Варкелон");
    fluid_settings_setstr(s, "audio.pulseaudio.media-role", "music");
    fluid->synth_.reset(new_fluid_synth(s));
    if (!fluid->synth_) {
        return nullptr;
    }
    if (open_hook.load() != nullptr) {
        // Tried before the built-in loader; the synth owns it from here on.
        if (fluid_sfloader_t* loader = new_fluid_defsfloader(s); loader != nullptr) {
            fluid_sfloader_set_callbacks(loader, open_soundfont_file, read_soundfont_file,
                                         seek_soundfont_file, tell_soundfont_file,
                                         close_soundfont_file);
            fluid_synth_add_sfloader(fluid->synth_.get(), loader);
        }
    }
    // The sequencer keeps the synth's sample clock: its time is the audio
    // rendered so far, in milliseconds.
    fluid->sequencer_.reset(new_fluid_sequencer2(0));
    if (!fluid->sequencer_ || fluid_sequencer_register_fluidsynth(
                                  fluid->sequencer_.get(), fluid->synth_.get()) == FLUID_FAILED) {
        return nullptr;
    }
    fluid_sequencer_t* seq = fluid->sequencer_.get();
    fluid->dispatch_client_ =
        fluid_sequencer_register_client(seq, "varkelon-dispatch", clients.dispatch, clients.data);
    fluid->clock_client_ =
        fluid_sequencer_register_client(seq, "varkelon-clock", clients.clock, clients.data);
    fluid->dispatch_event_.reset(timer_event(fluid->dispatch_client_));
    fluid->retry_event_.reset(timer_event(fluid->dispatch_client_));
    fluid->clock_event_.reset(timer_event(fluid->clock_client_));
    if (fluid->dispatch_client_ == FLUID_FAILED || fluid->clock_client_ == FLUID_FAILED ||
        !fluid->dispatch_event_ || !fluid->retry_event_ || !fluid->clock_event_) {
        return nullptr;
    }
    return fluid;
}

bool FluidParts::start_audio(fluid_audio_func_t render, void* data) {
    for (const char* driver : kAudioDrivers) {
        if (fluid_settings_setstr(settings_.get(), "audio.driver", driver) != FLUID_OK) {
            continue; // not built into this FluidSynth
        }
        driver_.reset(new_fluid_audio_driver2(settings_.get(), render, data));
        if (driver_) {
            return true;
        }
    }
    return false;
}

void FluidParts::stop_audio() {
    driver_.reset();
}

} // namespace varkelon
