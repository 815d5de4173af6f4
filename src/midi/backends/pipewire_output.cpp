// SPDX-License-Identifier: GPL-3.0-or-later
// The synth's stream on a PipeWire server, natively: the graph calls the
// stream's process on its own real-time thread, one quantum at a time, with
// no protocol translation in between (a PulseAudio stream keeps
// pipewire-pulse busy with every period). While the synth sleeps the stream
// is made inactive, so the graph leaves it out and the session manager can
// suspend the sink.

#include "midi/backends/audio_output.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>

namespace varkelon {

namespace {

constexpr int kChannels = 2;
constexpr std::uint32_t kFrameBytes = kChannels * sizeof(float);
// How long to wait for the server to take the stream before another output
// is tried: a server that is up answers within milliseconds.
constexpr int kConnectTimeoutS = 3;

// PulseAudio's roles are lower case ("music"); PipeWire's session manager and
// pipewire-pulse know them capitalised ("Music") and show them lower case
// again to PulseAudio clients.
std::string pipewire_role(std::string role) {
    if (!role.empty()) {
        role[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(role[0])));
    }
    return role;
}

class PipewireOutput final : public AudioOutput {
public:
    PipewireOutput(AudioStreamInfo info, AudioSource& source)
        : info_(std::move(info)), source_(source) {}
    ~PipewireOutput() override;
    PipewireOutput(const PipewireOutput&) = delete;
    PipewireOutput& operator=(const PipewireOutput&) = delete;

    bool start();
    void resume() override;

private:
    static void on_process(void* self);
    static void on_state_changed(void* self, pw_stream_state old, pw_stream_state state,
                                 const char* error);
    static void on_activity(void* self, std::uint64_t count);
    bool connect_stream();
    void update_activity();

    AudioStreamInfo info_;
    AudioSource& source_;
    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_hook stream_listener_{};
    spa_source* activity_event_ = nullptr; // on the loop's thread: applies the two below

    // The stream sleeps while `sleep_at_` is `resumes_` + 1: the source said
    // it sleeps during a render that started after the last resume(). A
    // resume() between that render's start and its end keeps it awake.
    std::atomic<std::uint64_t> resumes_{0};
    std::atomic<std::uint64_t> sleep_at_{0};
    bool active_ = true; // the loop thread's
};

pw_properties* stream_properties(const AudioStreamInfo& info) {
    const std::string latency =
        std::to_string(info.period_frames) + "/" + std::to_string(std::lround(info.sample_rate));
    const std::string role = pipewire_role(info.role);
    return pw_properties_new(PW_KEY_APP_NAME, info.name.c_str(), PW_KEY_APP_ICON_NAME,
                             info.icon_name.c_str(), PW_KEY_NODE_NAME, info.name.c_str(),
                             PW_KEY_MEDIA_NAME, info.name.c_str(), PW_KEY_MEDIA_TYPE, "Audio",
                             PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, role.c_str(),
                             PW_KEY_NODE_LATENCY, latency.c_str(), nullptr);
}

bool PipewireOutput::start() {
    static std::once_flag init;
    std::call_once(init, [] { pw_init(nullptr, nullptr); });

    loop_ = pw_thread_loop_new(info_.name.c_str(), nullptr);
    if (loop_ == nullptr) {
        return false;
    }
    // client-rt.conf: the graph's thread of this process runs at real-time
    // priority where the system allows it (the plain client configuration
    // leaves it at normal priority, late whenever the machine is busy).
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_),
                              pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf",
                                                PW_KEY_APP_NAME, info_.name.c_str(), nullptr),
                              0);
    if (context_ == nullptr) {
        return false;
    }
    // Fails at once where no daemon listens: another output is tried.
    core_ = pw_context_connect(context_,
                               pw_properties_new(PW_KEY_APP_NAME, info_.name.c_str(),
                                                 PW_KEY_APP_ICON_NAME, info_.icon_name.c_str(),
                                                 nullptr),
                               0);
    if (core_ == nullptr) {
        return false;
    }
    if (pw_thread_loop_start(loop_) < 0) {
        return false;
    }
    pw_thread_loop_lock(loop_);
    const bool ok = connect_stream();
    pw_thread_loop_unlock(loop_);
    return ok;
}

// With the loop's lock.
bool PipewireOutput::connect_stream() {
    activity_event_ =
        pw_loop_add_event(pw_thread_loop_get_loop(loop_), &PipewireOutput::on_activity, this);
    stream_ = pw_stream_new(core_, info_.name.c_str(), stream_properties(info_));
    if (activity_event_ == nullptr || stream_ == nullptr) {
        return false;
    }
    static const pw_stream_events events = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = &PipewireOutput::on_state_changed;
        e.process = &PipewireOutput::on_process;
        return e;
    }();
    pw_stream_add_listener(stream_, &stream_listener_, &events, this);

    std::uint8_t pod_buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(pod_buffer, sizeof pod_buffer);
    spa_audio_info_raw format{};
    format.format = SPA_AUDIO_FORMAT_F32;
    format.rate = static_cast<std::uint32_t>(std::lround(info_.sample_rate));
    format.channels = kChannels;
    format.position[0] = SPA_AUDIO_CHANNEL_FL;
    format.position[1] = SPA_AUDIO_CHANNEL_FR;
    const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format)};
    const auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    if (pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0) {
        return false;
    }
    // The server has taken the stream once it is paused (created, waiting
    // for the session manager to link it) or streaming.
    for (;;) {
        const pw_stream_state state = pw_stream_get_state(stream_, nullptr);
        if (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING) {
            return true;
        }
        if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED ||
            pw_thread_loop_timed_wait(loop_, kConnectTimeoutS) != 0) {
            return false;
        }
    }
}

PipewireOutput::~PipewireOutput() {
    if (loop_ != nullptr) {
        pw_thread_loop_lock(loop_);
        if (stream_ != nullptr) {
            // Takes the stream off the real-time thread: no process() after it.
            pw_stream_destroy(stream_);
        }
        if (activity_event_ != nullptr) {
            pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), activity_event_);
        }
        pw_thread_loop_unlock(loop_);
        pw_thread_loop_stop(loop_);
    }
    if (core_ != nullptr) {
        pw_core_disconnect(core_);
    }
    if (context_ != nullptr) {
        pw_context_destroy(context_);
    }
    if (loop_ != nullptr) {
        pw_thread_loop_destroy(loop_);
    }
}

void PipewireOutput::on_state_changed(void* self_pointer, pw_stream_state /*old*/,
                                      pw_stream_state /*state*/, const char* /*error*/) {
    pw_thread_loop_signal(static_cast<PipewireOutput*>(self_pointer)->loop_, false);
}

// The graph's real-time thread: never blocks, never allocates.
void PipewireOutput::on_process(void* self_pointer) {
    auto* self = static_cast<PipewireOutput*>(self_pointer);
    pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream_);
    if (buffer == nullptr) {
        return;
    }
    spa_data& data = buffer->buffer->datas[0];
    if (data.data == nullptr) {
        pw_stream_queue_buffer(self->stream_, buffer);
        return;
    }
    std::uint32_t frames = data.maxsize / kFrameBytes;
    if (buffer->requested != 0) {
        frames = std::min(frames, static_cast<std::uint32_t>(buffer->requested));
    }
    // When the graph's cycle began, by the driver's clock (monotonic), which a
    // late wake-up of this thread does not move.
    pw_time time{};
    if (pw_stream_get_time_n(self->stream_, &time, sizeof time) == 0 && time.now > 0) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        self->source_.cycle_started(
            std::chrono::nanoseconds(SPA_TIMESPEC_TO_NSEC(&now) - time.now));
    }
    const std::uint64_t resumes = self->resumes_.load();
    auto* samples = static_cast<float*>(data.data);
    const bool awake = self->source_.render(samples, samples + 1, static_cast<int>(frames), 2);
    data.chunk->offset = 0;
    data.chunk->stride = static_cast<std::int32_t>(kFrameBytes);
    data.chunk->size = frames * kFrameBytes;
    pw_stream_queue_buffer(self->stream_, buffer);
    if (!awake) {
        self->sleep_at_.store(resumes + 1);
        // Only the loop's thread may change the stream; signalling it is
        // a write to an eventfd.
        pw_loop_signal_event(pw_thread_loop_get_loop(self->loop_), self->activity_event_);
    }
}

void PipewireOutput::on_activity(void* self_pointer, std::uint64_t /*count*/) {
    static_cast<PipewireOutput*>(self_pointer)->update_activity();
}

void PipewireOutput::update_activity() {
    const bool active = sleep_at_.load() != resumes_.load() + 1;
    if (active != active_) {
        active_ = active;
        pw_stream_set_active(stream_, active);
    }
}

void PipewireOutput::resume() {
    resumes_.fetch_add(1);
    pw_loop_signal_event(pw_thread_loop_get_loop(loop_), activity_event_);
}

} // namespace

bool pipewire_socket_may_exist() {
    const auto is_socket = [](const std::string& path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
    };
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
    if (name.find(',') != std::string::npos) {
        return true; // a list of names: left to the client to try
    }
    if (name.front() == '/') {
        return is_socket(name);
    }
    // The client tries the first of these that is set, then the system's
    // folder; any of them is enough to try.
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"}) {
        const char* folder = std::getenv(variable);
        if (folder != nullptr && *folder != '\0' && is_socket(std::string(folder) + "/" + name)) {
            return true;
        }
    }
    return is_socket("/run/pipewire/" + name);
}

std::unique_ptr<AudioOutput> open_pipewire_output(const AudioStreamInfo& info,
                                                  AudioSource& source) {
    if (!pipewire_socket_may_exist()) {
        return nullptr;
    }
    auto output = std::make_unique<PipewireOutput>(info, source);
    if (!output->start()) {
        return nullptr;
    }
    return output;
}

} // namespace varkelon
