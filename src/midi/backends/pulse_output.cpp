// SPDX-License-Identifier: GPL-3.0-or-later
// The synth's stream on a PulseAudio server, through the asynchronous API:
// the server's requests are answered on the threaded main loop's thread,
// and corking the stream tells the server that nothing will play, so it can
// suspend its device; FluidSynth's own PulseAudio driver writes silence for
// ever and names the stream after itself.

#include "midi/backends/audio_output.h"

#include <pulse/pulseaudio.h>

#include <pthread.h>
#include <sched.h>
#include <utility>

namespace varkelon {

namespace {

constexpr int kFrameBytes = 2 * sizeof(float);
// The priority FluidSynth's own drivers ask for their audio thread.
constexpr int kRealtimePriority = 60;

class PulseOutput final : public AudioOutput {
public:
    PulseOutput(AudioStreamInfo info, AudioSource& source)
        : info_(std::move(info)), source_(source) {}
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    bool start();
    void resume() override;

private:
    static void context_state(pa_context* context, void* self);
    static void stream_state(pa_stream* stream, void* self);
    static void write(pa_stream* stream, std::size_t bytes, void* self);
    void cork(bool corked);

    AudioStreamInfo info_;
    AudioSource& source_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool corked_ = false; // with the loop's lock
    bool priority_set_ = false;
};

pa_proplist* program_properties(const AudioStreamInfo& info) {
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, info.name.c_str());
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, info.icon_name.c_str());
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, info.role.c_str());
    return props;
}

bool PulseOutput::start() {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        return false;
    }
    pa_proplist* props = program_properties(info_);
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), info_.name.c_str(),
                                            props);
    if (context_ == nullptr) {
        pa_proplist_free(props);
        return false;
    }
    pa_context_set_state_callback(context_, &PulseOutput::context_state, this);
    // Never start a server: where none runs, another output is tried.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0) {
        pa_proplist_free(props);
        return false;
    }
    pa_threaded_mainloop_lock(loop_);
    bool ok = false;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) {
            ok = true;
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            break;
        }
        pa_threaded_mainloop_wait(loop_);
    }
    if (ok) {
        const pa_sample_spec format{PA_SAMPLE_FLOAT32NE,
                                    static_cast<std::uint32_t>(info_.sample_rate), 2};
        stream_ =
            pa_stream_new_with_proplist(context_, info_.name.c_str(), &format, nullptr, props);
        ok = stream_ != nullptr;
    }
    if (ok) {
        pa_stream_set_state_callback(stream_, &PulseOutput::stream_state, this);
        pa_stream_set_write_callback(stream_, &PulseOutput::write, this);
        // Two periods in the server's buffer, asked for a period at a time,
        // as FluidSynth's own drivers keep it.
        const auto period = static_cast<std::uint32_t>(info_.period_frames * kFrameBytes);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = 2 * period;
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = period;
        attr.fragsize = static_cast<std::uint32_t>(-1);
        ok = pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                        nullptr) == 0;
        while (ok) {
            const pa_stream_state_t state = pa_stream_get_state(stream_);
            if (state == PA_STREAM_READY) {
                break;
            }
            ok = PA_STREAM_IS_GOOD(state);
            if (ok) {
                pa_threaded_mainloop_wait(loop_);
            }
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_proplist_free(props);
    return ok;
}

PulseOutput::~PulseOutput() {
    if (loop_ != nullptr) {
        pa_threaded_mainloop_stop(loop_);
    }
    if (stream_ != nullptr) {
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_ != nullptr) {
        pa_threaded_mainloop_free(loop_);
    }
}

void PulseOutput::context_state(pa_context* /*context*/, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0);
}

void PulseOutput::stream_state(pa_stream* /*stream*/, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0);
}

void PulseOutput::write(pa_stream* stream, std::size_t bytes, void* self_pointer) {
    auto* self = static_cast<PulseOutput*>(self_pointer);
    if (!self->priority_set_) {
        // Where the system allows it, as FluidSynth's drivers do; harmless where not.
        self->priority_set_ = true;
        const sched_param param{kRealtimePriority};
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }
    if (self->corked_) {
        return;
    }
    while (bytes >= kFrameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) {
            return;
        }
        const int frames = static_cast<int>(size / kFrameBytes);
        auto* samples = static_cast<float*>(data);
        const bool more = self->source_.render(samples, samples + 1, frames, 2);
        pa_stream_write(stream, data, static_cast<std::size_t>(frames) * kFrameBytes, nullptr, 0,
                        PA_SEEK_RELATIVE);
        bytes -= static_cast<std::size_t>(frames) * kFrameBytes;
        if (!more) {
            self->cork(true);
            return;
        }
    }
}

void PulseOutput::cork(bool corked) {
    if (corked_ == corked) {
        return;
    }
    corked_ = corked;
    if (pa_operation* op = pa_stream_cork(stream_, corked ? 1 : 0, nullptr, nullptr);
        op != nullptr) {
        pa_operation_unref(op);
    }
}

void PulseOutput::resume() {
    pa_threaded_mainloop_lock(loop_);
    cork(false);
    pa_threaded_mainloop_unlock(loop_);
}

} // namespace

std::unique_ptr<AudioOutput> open_pulse_output(const AudioStreamInfo& info, AudioSource& source) {
    auto output = std::make_unique<PulseOutput>(info, source);
    if (!output->start()) {
        return nullptr;
    }
    return output;
}

} // namespace varkelon
