// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/builtin_synth.h"

#include "adapters/startup_trace.h"
#include "midi/backends/builtin_synth_fluid.h"
#include "midi/backends/open_codes.h"
#include "midi/midi_facts.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace varkelon {

namespace {

// The SoundFont loader's nice value: below the program's other threads.
constexpr int kLoaderNice = 10;
// Long enough that the limiter does not pump with each beat of a rhythm.
constexpr double kLimiterReleaseMs = 300.0;

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

bool BuiltinSynth::FluidSamples::pin(int bank, int program) {
    const std::lock_guard reading(synth_.sample_read_mutex_);
    return fluid_synth_pin_preset(synth_.fluid_->synth(), synth_.soundfont_id_, bank, program) ==
           FLUID_OK;
}

void BuiltinSynth::FluidSamples::unpin(int bank, int program) {
    const std::lock_guard reading(synth_.sample_read_mutex_);
    fluid_synth_unpin_preset(synth_.fluid_->synth(), synth_.soundfont_id_, bank, program);
}

BuiltinSynth::BuiltinSynth(Options options)
    : options_(std::move(options)), pending_(std::make_unique<PendingState>()),
      limiter_(options_.ceiling_dbfs, kLimiterReleaseMs, options_.sample_rate),
      silence_(options_.sleep_after_s > 0
                   ? static_cast<std::int64_t>(options_.sleep_after_s * options_.sample_rate)
                   : std::numeric_limits<std::int64_t>::max()) {}

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
        fluid_ = FluidParts::make(
            FluidSetup{options_.sample_rate, options_.period_frames, options_.samples_on_demand,
                       options_.gain},
            FluidParts::Clients{SequencerHooks::dispatch, SequencerHooks::clock, this});
        if (!fluid_) {
            return kNoSynth;
        }
    }

    // The rendering front is found anew: the sample clock stood still while
    // closed, the host's did not.
    front_.forget();
    if (scheduled()) {
        arm_clock();
    }

    asleep_.store(false);
    silence_.restart();
    if (options_.output == Output::Audio && !start_output()) {
        return kNoAudioOutput;
    }

    if (!loader_.joinable()) {
        loader_ = std::thread(&BuiltinSynth::load_soundfont, this);
    }
    open_ = true;
    return kOpenOk;
}

bool BuiltinSynth::start_output() {
    const AudioStreamInfo info{options_.stream_name, options_.icon_name, options_.media_role,
                               options_.sample_rate, options_.period_frames};
    // The desktop's sound server first, natively where it is PipeWire, then a
    // running JACK server; else FluidSynth's own drivers, the ALSA device
    // among them.
    output_ = open_pipewire_output(info, *this);
    if (!output_) {
        output_ = open_pulse_output(info, *this);
    }
    if (!output_) {
        output_ = open_jack_output(info, *this);
    }
    return output_ != nullptr || fluid_->start_audio(&BuiltinSynth::render_for_fluid, this);
}

void BuiltinSynth::load_soundfont() {
    // Reading the SoundFont takes more CPU than the rest of the start: at a
    // lower priority it leaves the cores to the window being built and
    // shown, and to the event loop (sounds wait for the load in any case).
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kLoaderNice);
    int id = FLUID_FAILED;
    {
        const std::lock_guard reading(sample_read_mutex_);
        id = fluid_synth_sfload(fluid_->synth(), options_.soundfont.c_str(), 1);
    }
    if (id != FLUID_FAILED) {
        // Before the synth counts as loaded: sends are still only recorded,
        // so none waits for FluidSynth's lock while samples are read here.
        soundfont_id_ = id;
        pins_.pin_for_good(options_.pinned_programs);
    }
    {
        const std::lock_guard lock(mutex_);
        load_finished_ = true;
        if (id != FLUID_FAILED) {
            loaded_ = true;
            // Now, with the latency of any message sent now: a message sent
            // right after cannot come before them.
            const MidiClock::time_point now = options_.clock();
            for (const std::uint32_t message : pending_->replay()) {
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

void BuiltinSynth::send(std::uint32_t message) {
    if (!open_) {
        return;
    }
    wake();
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

double BuiltinSynth::lead_ms() {
    return front_.lead_ms(static_cast<double>(fluid_sequencer_get_tick(fluid_->sequencer())) -
                          host_ms(options_.clock()));
}

void BuiltinSynth::schedule(std::uint32_t message, MidiClock::time_point at) {
    pins_.release(queue_.applied());
    pins_.before_queued(message, queue_.next_number());
    // One latency for all, and never before the message sent before it.
    const unsigned target =
        queue_
            .push(message, nearest_block_tick(host_ms(at) + lead_ms() + options_.latency_ms,
                                              options_.sample_rate))
            .at_tick;
    // The wake-up already asked for at this moment takes this one along,
    // unless it has been and gone.
    fluid_sequencer_t* seq = fluid_->sequencer();
    if (last_dispatch_ != target || target <= fluid_sequencer_get_tick(seq)) {
        fluid_sequencer_send_at(seq, fluid_->dispatch_event(), target, 1);
        last_dispatch_ = target;
    }
}

void BuiltinSynth::dispatch(unsigned int time) {
    // Never wait for a thread that is reading samples: they would not be
    // rendered in time. Try again at the next block.
    const std::unique_lock reading(sample_read_mutex_, std::try_to_lock);
    if (!reading.owns_lock()) {
        fluid_sequencer_send_at(fluid_->sequencer(), fluid_->retry_event(), time + 1, 1);
        return;
    }
    while (const std::optional<TimedQueue::Timed> next = queue_.pop_due(time)) {
        apply(next->message);
        queue_.mark_applied(next->number);
    }
}

void BuiltinSynth::sample_clock(unsigned int time) {
    front_.sample(static_cast<double>(time), host_ms(options_.clock()));
    fluid_sequencer_send_at(fluid_->sequencer(), fluid_->clock_event(), time + 1, 1);
}

void BuiltinSynth::arm_clock() {
    fluid_sequencer_t* seq = fluid_->sequencer();
    // Once: an open that failed may have armed it already.
    fluid_sequencer_remove_events(seq, -1, fluid_->clock_client(), -1);
    fluid_sequencer_send_at(seq, fluid_->clock_event(), fluid_sequencer_get_tick(seq) + 1, 1);
}

void BuiltinSynth::apply(std::uint32_t message) {
    fluid_synth_t* synth = fluid_->synth();
    const ShortMessage m = unpack_short_message(message);
    const int channel = channel_index(m.channel());
    const int data1 = data_value(m.data1);
    const int data2 = data_value(m.data2);
    switch (m.kind()) {
    case kNoteOff:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case kNoteOn:
        fluid_synth_noteon(synth, channel, data1, data2); // velocity 0 ends the note
        break;
    case kKeyPressure:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case kControlChange:
        fluid_synth_cc(synth, channel, data1, data2);
        break;
    case kProgramChange:
        fluid_synth_program_change(synth, channel, data1);
        break;
    case kChannelPressure:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    case kPitchBend:
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
    output_.reset();
    fluid_->stop_audio();
    fluid_sequencer_t* seq = fluid_->sequencer();
    fluid_sequencer_remove_events(seq, -1, fluid_->dispatch_client(), -1);
    fluid_sequencer_remove_events(seq, -1, fluid_->clock_client(), -1);
    const std::lock_guard lock(mutex_);
    last_dispatch_.reset();
    if (loaded_) {
        // What waits to sound: the notes go, the channels' state stays, as
        // if it had been sent at once and then cut.
        const std::vector<TimedQueue::Timed> waiting = queue_.take_all();
        {
            const std::lock_guard reading(sample_read_mutex_);
            for (const TimedQueue::Timed& t : waiting) {
                if (unpack_short_message(t.message).kind() != kNoteOn) {
                    apply(t.message);
                }
            }
        }
        pins_.release(queue_.applied());
        fluid_synth_all_sounds_off(fluid_->synth(), -1);
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

void BuiltinSynth::render(float* stereo, int frames,
                          std::optional<std::chrono::nanoseconds> cycle_started_ago) {
    if (!fluid_ || options_.output != Output::Render) {
        std::fill_n(stereo, static_cast<std::size_t>(frames) * 2, 0.0F);
        return;
    }
    if (cycle_started_ago) {
        cycle_started(*cycle_started_ago);
    }
    render(stereo, stereo + 1, frames, 2);
}

void BuiltinSynth::cycle_started(std::chrono::nanoseconds ago) {
    // A cycle said to have begun further from now than this is not believed:
    // a clock not yet running, or one from another domain.
    constexpr std::chrono::nanoseconds kLongestCycleAgo = std::chrono::milliseconds(100);
    if (std::chrono::abs(ago) >= kLongestCycleAgo) {
        return;
    }
    cycle_host_ms_ =
        host_ms(options_.clock()) - std::chrono::duration<double, std::milli>(ago).count();
}

void BuiltinSynth::wake() {
    // Counted first: a render deciding to sleep at this moment sees it and
    // stays awake, or has already said so and is woken here.
    activity_.fetch_add(1);
    if (asleep_.load() && asleep_.exchange(false) && output_) {
        output_->resume();
    }
}

bool BuiltinSynth::render(float* left, float* right, int frames, int stride) {
    if (asleep_.load()) {
        cycle_host_ms_.reset();
        for (int i = 0; i < frames; ++i) {
            left[static_cast<std::ptrdiff_t>(i) * stride] = 0.0F;
            right[static_cast<std::ptrdiff_t>(i) * stride] = 0.0F;
        }
        return false;
    }
    fluid_synth_t* synth = fluid_->synth();
    if (cycle_host_ms_) {
        // The front as sampling at the clock's events would find it with no
        // late wake-up: the start of the cycle's last block, in the
        // sequencer's milliseconds, against the cycle's start.
        const auto last_block = static_cast<double>(
            frames_rendered_ + static_cast<std::uint64_t>(std::max(frames - kFluidBlockFrames, 0)));
        front_.sample_cycle(last_block * 1000.0 / options_.sample_rate, *cycle_host_ms_);
        cycle_host_ms_.reset();
    }
    fluid_synth_write_float(synth, frames, left, 0, stride, right, 0, stride);
    frames_rendered_ += static_cast<std::uint64_t>(frames);
    limiter_.process(left, right, frames, stride);
    if (!silence_.long_enough(frames, fluid_synth_get_active_voice_count(synth) > 0,
                              peak_of(left, right, frames, stride), activity_.load())) {
        return true;
    }
    // The rendered time stands still from here on while the host's runs:
    // messages sent meanwhile are placed against the time rendered so far.
    front_.forget();
    asleep_.store(true);
    if (activity_.load() != silence_.activity()) {
        asleep_.store(false); // a send or a wake-up came in between
        silence_.restart();
        return true;
    }
    return false;
}

int BuiltinSynth::render_for_fluid(void* self, int frames, int /*nfx*/, float* /*fx*/[], int nout,
                                   float* out[]) {
    if (nout >= 2) {
        static_cast<BuiltinSynth*>(self)->render(out[0], out[1], frames, 1);
    }
    return FLUID_OK;
}

} // namespace varkelon
