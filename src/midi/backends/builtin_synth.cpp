#include "midi/backends/builtin_synth.h"

#include "midi/backends/open_codes.h"
#include "midi/backends/startup_trace.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace varkelon {

namespace {

struct SettingsDeleter {
    void operator()(fluid_settings_t* p) const { delete_fluid_settings(p); }
};
struct SynthDeleter {
    void operator()(fluid_synth_t* p) const { delete_fluid_synth(p); }
};
struct DriverDeleter {
    void operator()(fluid_audio_driver_t* p) const { delete_fluid_audio_driver(p); }
};

constexpr std::size_t kChannels = 16;
constexpr std::size_t kKeys = 128;

// Audio back-ends in the order a desktop offers them: the sound server
// (PipeWire answers as PulseAudio), then a running JACK server, then the
// ALSA default device.
constexpr std::array<const char*, 3> kAudioDrivers{"pulseaudio", "jack", "alsa"};

// FluidSynth numbers the percussion bank 128; program 0 is the standard kit
// that channel 10 plays unless a program change picks another.
constexpr int kDrumBank = 128;
constexpr int kStandardDrumKit = 0;

// The SoundFont is read through these plain stdio callbacks rather than
// FluidSynth's own only so that the opens can be counted: an open after the
// load means a program's samples were read where that program was selected.
std::atomic<std::uint64_t> soundfont_open_count{0};

void* open_soundfont_file(const char* filename) {
    std::FILE* file = std::fopen(filename, "rb");
    if (file != nullptr) {
        soundfont_open_count.fetch_add(1, std::memory_order_relaxed);
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

} // namespace

std::string find_gm_soundfont() {
    if (const char* chosen = std::getenv("VARKELON_SOUNDFONT"); chosen != nullptr) {
        return chosen;
    }
    for (const char* name : {"default-GM.sf2", "FluidR3_GM.sf2", "TimGM6mb.sf2"}) {
        const std::filesystem::path path = std::filesystem::path("/usr/share/sounds/sf2") / name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) {
            return path.string();
        }
    }
    return {};
}

struct BuiltinSynth::Fluid {
    // Destroyed in reverse order: the audio driver stops before the synth goes.
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings;
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth;
    std::unique_ptr<fluid_audio_driver_t, DriverDeleter> driver;
};

// What was sent before the SoundFont loaded. Controllers and program changes
// are kept in order and replayed; of the notes only those still held are
// sounded, since a note that began and ended during the load would otherwise
// play late, and a running rhythm would come out as one burst.
struct BuiltinSynth::PendingState {
    // Enough for every controller of every channel several times over; a
    // flood beyond that adds nothing a replay needs.
    static constexpr std::size_t kMaxMessages = 4096;

    std::vector<std::uint32_t> messages;
    std::array<std::uint8_t, kChannels * kKeys> held_velocity{};

    void record(std::uint32_t message) {
        const unsigned status = message & 0xFFU;
        const unsigned kind = status & 0xF0U;
        const unsigned channel = status & 0x0FU;
        const unsigned data1 = (message >> 8) & 0x7FU;
        const unsigned data2 = (message >> 16) & 0x7FU;
        std::uint8_t* keys = &held_velocity[std::size_t{channel} * kKeys];
        switch (kind) {
        case 0x90:
            keys[data1] = static_cast<std::uint8_t>(data2); // velocity 0 is a note-off
            return;
        case 0x80:
            keys[data1] = 0;
            return;
        case 0xA0: // key pressure belongs to a note that will not be replayed as it was
            return;
        case 0xB0:
            if (data1 >= 120) { // channel mode messages end the channel's notes
                std::fill_n(keys, kKeys, std::uint8_t{0});
                if (data1 == 120 || data1 == 123) {
                    return;
                }
            }
            break;
        default:
            break;
        }
        if (status >= 0x80 && status < 0xF0 && messages.size() < kMaxMessages) {
            messages.push_back(message);
        }
    }

    void release_all() { held_velocity.fill(0); }
};

BuiltinSynth::BuiltinSynth(Options options)
    : options_(std::move(options)), pending_(std::make_unique<PendingState>()) {}

BuiltinSynth::~BuiltinSynth() {
    close();
    // A load cannot be cut short; at worst this waits for its end.
    if (loader_.joinable()) {
        loader_.join();
    }
}

int BuiltinSynth::open() {
    if (open_) {
        return kOpenOk;
    }
    {
        // The loader runs once: a SoundFont that failed to load stays
        // unloaded, and a synth without it would throw every send away.
        const std::lock_guard lock(mutex_);
        if (load_finished_ && !loaded_) {
            return kNoSoundFont;
        }
    }
    if (!fluid_) {
        if (options_.soundfont.empty() || fluid_is_soundfont(options_.soundfont.c_str()) == 0) {
            return kNoSoundFont;
        }
        auto fluid = std::make_unique<Fluid>();
        fluid->settings.reset(new_fluid_settings());
        if (!fluid->settings) {
            return kNoSynth;
        }
        fluid_settings_t* s = fluid->settings.get();
        fluid_settings_setnum(s, "synth.sample-rate", options_.sample_rate);
        fluid_settings_setint(s, "audio.period-size", options_.period_frames);
        fluid_settings_setint(s, "audio.periods", 2);
        fluid_settings_setint(s, "synth.dynamic-sample-loading",
                              options_.samples_on_demand ? 1 : 0);
        fluid_settings_setint(s, "audio.jack.autoconnect", 1);
        fluid_settings_setstr(s, "audio.jack.id", "Varkelon");
        fluid->synth.reset(new_fluid_synth(s));
        if (!fluid->synth) {
            return kNoSynth;
        }
        // Tried before the built-in loader; the synth owns it from here on.
        if (fluid_sfloader_t* loader = new_fluid_defsfloader(s); loader != nullptr) {
            fluid_sfloader_set_callbacks(loader, open_soundfont_file, read_soundfont_file,
                                         seek_soundfont_file, tell_soundfont_file,
                                         close_soundfont_file);
            fluid_synth_add_sfloader(fluid->synth.get(), loader);
        }
        fluid_ = std::move(fluid);
    }

    if (options_.output == Output::Audio) {
        for (const char* driver : kAudioDrivers) {
            if (fluid_settings_setstr(fluid_->settings.get(), "audio.driver", driver) != FLUID_OK) {
                continue; // not built into this FluidSynth
            }
            fluid_->driver.reset(
                new_fluid_audio_driver(fluid_->settings.get(), fluid_->synth.get()));
            if (fluid_->driver) {
                break;
            }
        }
        if (!fluid_->driver) {
            return kNoAudioOutput;
        }
    }

    if (!loader_.joinable()) {
        loader_ = std::thread(&BuiltinSynth::load_soundfont, this);
    }
    open_ = true;
    return kOpenOk;
}

void BuiltinSynth::load_soundfont() {
    const int id = fluid_synth_sfload(fluid_->synth.get(), options_.soundfont.c_str(), 1);
    if (id != FLUID_FAILED) {
        // Before the synth counts as loaded: sends are still only recorded,
        // so none waits for FluidSynth's lock while samples are read here.
        pin_presets(id);
    }
    {
        const std::lock_guard lock(mutex_);
        load_finished_ = true;
        if (id != FLUID_FAILED) {
            loaded_ = true;
            for (const std::uint32_t message : pending_->messages) {
                apply(message);
            }
            for (std::size_t channel = 0; channel < kChannels; ++channel) {
                for (std::size_t key = 0; key < kKeys; ++key) {
                    const int velocity = pending_->held_velocity[channel * kKeys + key];
                    if (velocity > 0) {
                        fluid_synth_noteon(fluid_->synth.get(), static_cast<int>(channel),
                                           static_cast<int>(key), velocity);
                    }
                }
            }
        }
        pending_.reset();
    }
    load_done_.notify_all();
    if (id != FLUID_FAILED) {
        trace_startup("soundfont-ready");
    }
}

void BuiltinSynth::pin_presets(int soundfont_id) {
    fluid_synth_t* synth = fluid_->synth.get();
    fluid_synth_pin_preset(synth, soundfont_id, kDrumBank, kStandardDrumKit);
    for (const int program : options_.pinned_programs) {
        if (program >= 0 && program <= 127) {
            // Fails harmlessly for a program the SoundFont does not have.
            fluid_synth_pin_preset(synth, soundfont_id, 0, program);
        }
    }
}

void BuiltinSynth::send(std::uint32_t message) {
    if (!open_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    if (loaded_) {
        apply(message);
    } else if (pending_) {
        pending_->record(message);
    }
    // A SoundFont that failed to load leaves a silent synth: sends are lost.
}

void BuiltinSynth::apply(std::uint32_t message) {
    fluid_synth_t* synth = fluid_->synth.get();
    const int status = static_cast<int>(message & 0xFFU);
    const int channel = status & 0x0F;
    const int data1 = static_cast<int>((message >> 8) & 0x7FU);
    const int data2 = static_cast<int>((message >> 16) & 0x7FU);
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case 0x90:
        fluid_synth_noteon(synth, channel, data1, data2); // velocity 0 ends the note
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
        break;
    default: // not a channel message
        break;
    }
}

void BuiltinSynth::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    {
        const std::lock_guard lock(mutex_);
        if (loaded_) {
            fluid_synth_all_sounds_off(fluid_->synth.get(), -1);
        } else if (pending_) {
            pending_->release_all();
        }
    }
    fluid_->driver.reset();
}

bool BuiltinSynth::wait_until_loaded(std::chrono::milliseconds timeout) {
    if (!loader_.joinable()) {
        return false; // never opened successfully: nothing is loading
    }
    std::unique_lock lock(mutex_);
    load_done_.wait_for(lock, timeout, [this] { return load_finished_; });
    return loaded_;
}

std::uint64_t BuiltinSynth::soundfont_opens() {
    return soundfont_open_count.load(std::memory_order_relaxed);
}

void BuiltinSynth::render(float* stereo, int frames) {
    if (!fluid_ || options_.output != Output::Render) {
        std::fill_n(stereo, static_cast<std::size_t>(frames) * 2, 0.0F);
        return;
    }
    fluid_synth_write_float(fluid_->synth.get(), frames, stereo, 0, 2, stereo, 1, 2);
}

} // namespace varkelon
