#include "midi/backends/builtin_synth.h"

#include "adapters/startup_trace.h"
#include "midi/backends/open_codes.h"

#include <fluidsynth.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
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
struct SequencerDeleter {
    void operator()(fluid_sequencer_t* p) const { delete_fluid_sequencer(p); }
};
struct EventDeleter {
    void operator()(fluid_event_t* p) const { delete_fluid_event(p); }
};
using Event = std::unique_ptr<fluid_event_t, EventDeleter>;

constexpr std::size_t kChannels = 16;
constexpr std::size_t kKeys = 128;

// Audio back-ends in the order a desktop offers them: the sound server
// (PipeWire answers as PulseAudio), then a running JACK server, then the
// ALSA default device.
// The SoundFont loader's nice value: below the program's other threads.
constexpr int kLoaderNice = 10;

constexpr std::array<const char*, 3> kAudioDrivers{"pulseaudio", "jack", "alsa"};

// FluidSynth numbers the percussion bank 128; program 0 is the standard kit
// that channel 10 plays unless a program change picks another.
constexpr int kDrumBank = 128;
constexpr int kStandardDrumKit = 0;
constexpr int kDrumChannelIndex = channel_index(kDrumChannel);

constexpr int preset_key(int bank, int program) {
    return bank * 128 + program;
}

// The rendering front is the largest lead of the audio rendered over the host
// clock seen in the last 250-500 ms: long enough that late wake-ups of the
// audio thread do not move it, short enough to follow a device clock that
// drifts or an audio output that lost time (an xrun) within half a second.
constexpr double kClockWindowMs = 250.0;
// The first size of the queue of timed messages: several seconds of a busy
// rhythm; it grows when it must.
constexpr std::size_t kFirstQueueSize = 1024;

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
    // Destroyed in reverse order: the audio driver stops before the sequencer
    // it drives, the sequencer before the synth that clocks it.
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings;
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth;
    std::unique_ptr<fluid_sequencer_t, SequencerDeleter> sequencer;
    fluid_seq_id_t dispatch_client = -1;
    fluid_seq_id_t clock_client = -1;
    Event dispatch_event; // the senders'
    Event retry_event;    // the audio thread's
    Event clock_event;    // the audio thread's (and open's, while it is stopped)
    std::unique_ptr<fluid_audio_driver_t, DriverDeleter> driver;
};

struct BuiltinSynth::SequencerHooks {
    static void dispatch(unsigned int time, fluid_event_t* event, fluid_sequencer_t* /*seq*/,
                         void* self) {
        if (fluid_event_get_type(event) == FLUID_SEQ_TIMER) {
            static_cast<BuiltinSynth*>(self)->dispatch(time);
        }
    }
    static void clock(unsigned int time, fluid_event_t* event, fluid_sequencer_t* /*seq*/,
                      void* self) {
        if (fluid_event_get_type(event) == FLUID_SEQ_TIMER) {
            static_cast<BuiltinSynth*>(self)->sample_clock(time);
        }
    }
};

namespace {

Event timer_event(fluid_seq_id_t client) {
    Event event(new_fluid_event());
    if (event) {
        fluid_event_set_source(event.get(), -1);
        fluid_event_set_dest(event.get(), client);
        fluid_event_timer(event.get(), nullptr);
    }
    return event;
}

} // namespace

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
    : options_(std::move(options)), pending_(std::make_unique<PendingState>()),
      ring_(kFirstQueueSize) {
    channel_held_.fill(-1);
}

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
        // The sequencer keeps the synth's sample clock: its time is the
        // audio rendered so far, in milliseconds.
        fluid->sequencer.reset(new_fluid_sequencer2(0));
        if (!fluid->sequencer || fluid_sequencer_register_fluidsynth(
                                     fluid->sequencer.get(), fluid->synth.get()) == FLUID_FAILED) {
            return kNoSynth;
        }
        fluid_sequencer_t* seq = fluid->sequencer.get();
        fluid->dispatch_client = fluid_sequencer_register_client(seq, "varkelon-dispatch",
                                                                 SequencerHooks::dispatch, this);
        fluid->clock_client =
            fluid_sequencer_register_client(seq, "varkelon-clock", SequencerHooks::clock, this);
        fluid->dispatch_event = timer_event(fluid->dispatch_client);
        fluid->retry_event = timer_event(fluid->dispatch_client);
        fluid->clock_event = timer_event(fluid->clock_client);
        if (fluid->dispatch_client == FLUID_FAILED || fluid->clock_client == FLUID_FAILED ||
            !fluid->dispatch_event || !fluid->retry_event || !fluid->clock_event) {
            return kNoSynth;
        }
        fluid_ = std::move(fluid);
    }

    // The rendering front is found anew: the sample clock stood still while
    // closed, the host's did not.
    clock_known_.store(false);
    if (scheduled()) {
        arm_clock();
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
    // Reading the SoundFont takes more CPU than the rest of the start: at a
    // lower priority it leaves the cores to the window being built and
    // shown, and to the event loop (sounds wait for the load in any case).
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kLoaderNice);
    int id = FLUID_FAILED;
    {
        const std::lock_guard reading(sample_read_mutex_);
        id = fluid_synth_sfload(fluid_->synth.get(), options_.soundfont.c_str(), 1);
        if (id != FLUID_FAILED) {
            // Before the synth counts as loaded: sends are still only
            // recorded, so none waits for FluidSynth's lock while samples
            // are read here.
            pin_presets(id);
        }
    }
    {
        const std::lock_guard lock(mutex_);
        load_finished_ = true;
        if (id != FLUID_FAILED) {
            loaded_ = true;
            soundfont_id_ = id;
            std::vector<std::uint32_t> replay = std::move(pending_->messages);
            for (std::size_t channel = 0; channel < kChannels; ++channel) {
                for (std::size_t key = 0; key < kKeys; ++key) {
                    const int velocity = pending_->held_velocity[channel * kKeys + key];
                    if (velocity > 0) {
                        replay.push_back(pack_short_message(0x90 | static_cast<int>(channel),
                                                            static_cast<int>(key), velocity));
                    }
                }
            }
            // Now, with the latency of any message sent now: a message sent
            // right after cannot come before them.
            const MidiClock::time_point now = options_.clock();
            for (const std::uint32_t message : replay) {
                if (scheduled()) {
                    schedule(message, now);
                } else {
                    apply(message);
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
    if (fluid_synth_pin_preset(synth, soundfont_id, kDrumBank, kStandardDrumKit) == FLUID_OK) {
        pinned_presets_.insert(preset_key(kDrumBank, kStandardDrumKit));
    }
    for (const int program : options_.pinned_programs) {
        // Fails harmlessly for a program the SoundFont does not have.
        if (program >= 0 && program <= 127 &&
            fluid_synth_pin_preset(synth, soundfont_id, 0, program) == FLUID_OK) {
            pinned_presets_.insert(preset_key(0, program));
        }
    }
}

void BuiltinSynth::send(std::uint32_t message) {
    if (!open_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    if (loaded_) {
        if (scheduled()) {
            // A moment after now is a host's mistake: it would only add latency.
            const MidiClock::time_point now = options_.clock();
            schedule(message, message_time_ ? std::min(*message_time_, now) : now);
        } else {
            apply(message);
        }
    } else if (pending_) {
        pending_->record(message);
    }
    // A SoundFont that failed to load leaves a silent synth: sends are lost.
}

double BuiltinSynth::host_ms(MidiClock::time_point t) const {
    return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
}

double BuiltinSynth::offset_ms() {
    // What has been rendered is never later than the front seen now; the
    // audio thread's reading, taken as each block is rendered, is the
    // closer one once it has one.
    const double seen = static_cast<double>(fluid_sequencer_get_tick(fluid_->sequencer.get())) -
                        host_ms(options_.clock());
    return clock_known_.load() ? std::max(seen, clock_offset_ms_.load()) : seen;
}

void BuiltinSynth::schedule(std::uint32_t message, MidiClock::time_point at) {
    release_pins();
    const std::uint64_t number = scheduled_count_ + 1;
    const int status = static_cast<int>(message & 0xFFU);
    const int channel = status & 0x0F;
    if ((status & 0xF0) == 0xC0) {
        prepare_program_change(channel, static_cast<int>((message >> 8) & 0x7FU), number);
    } else if ((status & 0xF0) == 0xB0 && ((message >> 8) & 0x7FU) == 0) {
        bank_[static_cast<std::size_t>(channel)] = static_cast<int>((message >> 16) & 0x7FU);
    }

    // One latency for all, and never before the message sent before it: a
    // moment that is earlier (an input event handled after a late tick) must
    // not overtake what is already waiting.
    const double target_ms = host_ms(at) + offset_ms() + options_.latency_ms;
    const auto target =
        std::max(last_target_, static_cast<unsigned>(std::max(0.0, std::round(target_ms))));
    last_target_ = target;
    {
        const std::lock_guard lock(queue_mutex_);
        if (queued_ == ring_.size()) {
            std::vector<Timed> bigger(ring_.size() * 2);
            for (std::size_t i = 0; i < queued_; ++i) {
                bigger[i] = ring_[(head_ + i) % ring_.size()];
            }
            ring_ = std::move(bigger);
            head_ = 0;
        }
        ring_[(head_ + queued_) % ring_.size()] = Timed{target, message, number};
        ++queued_;
    }
    scheduled_count_ = number;
    // The wake-up already asked for at this moment takes this one along,
    // unless it has been and gone.
    fluid_sequencer_t* seq = fluid_->sequencer.get();
    if (last_dispatch_ != target || target <= fluid_sequencer_get_tick(seq)) {
        fluid_sequencer_send_at(seq, fluid_->dispatch_event.get(), target, 1);
        last_dispatch_ = target;
    }
}

void BuiltinSynth::prepare_program_change(int channel, int program, std::uint64_t number) {
    const auto ch = static_cast<std::size_t>(channel);
    const int bank = channel == kDrumChannelIndex ? kDrumBank : bank_[ch];
    const int held = pin_for_a_while(bank, program);
    if (channel_held_[ch] >= 0) {
        releases_.push_back({number, channel_held_[ch]});
    }
    channel_held_[ch] = held;
}

int BuiltinSynth::pin_for_a_while(int bank, int program) {
    // What FluidSynth selects when the SoundFont lacks the preset.
    const std::array<int, 2> candidates{preset_key(bank, program),
                                        bank == kDrumBank ? preset_key(kDrumBank, kStandardDrumKit)
                                                          : preset_key(0, program)};
    for (const int key : candidates) {
        if (pinned_presets_.count(key) != 0) {
            return -1;
        }
        int& holders = held_presets_[key];
        if (holders > 0) {
            ++holders;
            return key;
        }
        int pinned = FLUID_FAILED;
        {
            const std::lock_guard reading(sample_read_mutex_);
            pinned =
                fluid_synth_pin_preset(fluid_->synth.get(), soundfont_id_, key / 128, key % 128);
        }
        if (pinned == FLUID_OK) {
            holders = 1;
            return key;
        }
        held_presets_.erase(key);
    }
    return -1;
}

void BuiltinSynth::release_pins() {
    if (releases_.empty()) {
        return;
    }
    const std::uint64_t applied = applied_.load(std::memory_order_acquire);
    auto kept = releases_.begin();
    for (const Release& r : releases_) {
        if (r.after > applied) {
            *kept++ = r;
            continue;
        }
        const auto it = held_presets_.find(r.preset);
        if (it != held_presets_.end() && --it->second == 0) {
            held_presets_.erase(it);
            // Frees the samples unless a channel still holds the preset.
            const std::lock_guard reading(sample_read_mutex_);
            fluid_synth_unpin_preset(fluid_->synth.get(), soundfont_id_, r.preset / 128,
                                     r.preset % 128);
        }
    }
    releases_.erase(kept, releases_.end());
}

void BuiltinSynth::dispatch(unsigned int time) {
    // Never wait for a thread that is reading samples: they would not be
    // rendered in time. Try again at the next block.
    const std::unique_lock reading(sample_read_mutex_, std::try_to_lock);
    if (!reading.owns_lock()) {
        fluid_sequencer_send_at(fluid_->sequencer.get(), fluid_->retry_event.get(), time + 1, 1);
        return;
    }
    for (;;) {
        Timed next{};
        {
            const std::lock_guard lock(queue_mutex_);
            if (queued_ == 0 || ring_[head_].at_tick > time) {
                return;
            }
            next = ring_[head_];
            head_ = (head_ + 1) % ring_.size();
            --queued_;
        }
        apply(next.message);
        applied_.store(next.number, std::memory_order_release);
    }
}

void BuiltinSynth::sample_clock(unsigned int time) {
    // Each block's start against the host clock as it is rendered; the
    // largest difference is the rendering front. Kept for two windows, this
    // one and the last.
    const double now = host_ms(options_.clock());
    const double sample = static_cast<double>(time) - now;
    if (!clock_known_.load(std::memory_order_relaxed)) {
        window_start_ms_ = now;
        last_window_max_ = window_max_ = sample;
    } else if (now - window_start_ms_ >= kClockWindowMs) {
        window_start_ms_ = now;
        last_window_max_ = window_max_;
        window_max_ = sample;
    } else {
        window_max_ = std::max(window_max_, sample);
    }
    clock_offset_ms_.store(std::max(last_window_max_, window_max_));
    clock_known_.store(true);
    fluid_sequencer_send_at(fluid_->sequencer.get(), fluid_->clock_event.get(), time + 1, 1);
}

void BuiltinSynth::arm_clock() {
    fluid_sequencer_t* seq = fluid_->sequencer.get();
    // Once: an open that failed may have armed it already.
    fluid_sequencer_remove_events(seq, -1, fluid_->clock_client, -1);
    fluid_sequencer_send_at(seq, fluid_->clock_event.get(), fluid_sequencer_get_tick(seq) + 1, 1);
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
    // First the audio thread stops, so nothing is dispatched from here on.
    fluid_->driver.reset();
    fluid_sequencer_t* seq = fluid_->sequencer.get();
    fluid_sequencer_remove_events(seq, -1, fluid_->dispatch_client, -1);
    fluid_sequencer_remove_events(seq, -1, fluid_->clock_client, -1);
    const std::lock_guard lock(mutex_);
    last_dispatch_.reset();
    if (loaded_) {
        // What waits to sound: the notes go, the channels' state stays, as
        // if it had been sent at once and then cut.
        std::vector<Timed> waiting;
        {
            const std::lock_guard queue(queue_mutex_);
            for (; queued_ > 0; --queued_, head_ = (head_ + 1) % ring_.size()) {
                waiting.push_back(ring_[head_]);
            }
        }
        {
            const std::lock_guard reading(sample_read_mutex_);
            for (const Timed& t : waiting) {
                if ((t.message & 0xF0U) != 0x90) {
                    apply(t.message);
                }
            }
        }
        applied_.store(scheduled_count_, std::memory_order_release);
        release_pins();
        fluid_synth_all_sounds_off(fluid_->synth.get(), -1);
    } else if (pending_) {
        pending_->release_all();
    }
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
