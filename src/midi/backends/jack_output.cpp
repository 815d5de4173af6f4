// SPDX-License-Identifier: GPL-3.0-or-later
// The synth's JACK client: two ports, filled in the server's process
// callback. A JACK server never suspends its device; a sleeping synth
// only writes silence, which costs next to nothing.

#include "midi/backends/audio_output.h"

#include <jack/jack.h>

#include <chrono>
#include <cmath>
#include <cstdint>

namespace varkelon {

namespace {

class JackOutput final : public AudioOutput {
public:
    explicit JackOutput(AudioSource& source) : source_(source) {}
    ~JackOutput() override;
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    bool start(const AudioStreamInfo& info);
    void resume() override {} // the synth renders silence while it sleeps

private:
    static int process(jack_nframes_t frames, void* self);
    void connect_to_playback();

    AudioSource& source_;
    jack_client_t* client_ = nullptr;
    jack_port_t* left_ = nullptr;
    jack_port_t* right_ = nullptr;
};

bool JackOutput::start(const AudioStreamInfo& info) {
    jack_status_t status{};
    client_ = jack_client_open(info.name.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr) {
        return false;
    }
    // FluidSynth's synth renders at one rate, set before this output opens.
    if (std::lround(info.sample_rate) != static_cast<long>(jack_get_sample_rate(client_))) {
        return false;
    }
    left_ = jack_port_register(client_, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    right_ = jack_port_register(client_, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (left_ == nullptr || right_ == nullptr ||
        jack_set_process_callback(client_, &JackOutput::process, this) != 0 ||
        jack_activate(client_) != 0) {
        return false;
    }
    connect_to_playback();
    return true;
}

void JackOutput::connect_to_playback() {
    const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (playback == nullptr) {
        return;
    }
    if (playback[0] != nullptr) {
        jack_connect(client_, jack_port_name(left_), playback[0]);
        // A mono device takes both.
        jack_connect(client_, jack_port_name(right_),
                     playback[1] != nullptr ? playback[1] : playback[0]);
    }
    jack_free(static_cast<void*>(playback));
}

JackOutput::~JackOutput() {
    if (client_ != nullptr) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
}

int JackOutput::process(jack_nframes_t frames, void* self_pointer) {
    auto* self = static_cast<JackOutput*>(self_pointer);
    auto* left = static_cast<float*>(jack_port_get_buffer(self->left_, frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(self->right_, frames));
    // When the server says this cycle began (its time for the cycle's first
    // frame, which a late wake-up of this thread does not move).
    jack_nframes_t cycle_frames = 0;
    jack_time_t cycle_us = 0;
    jack_time_t next_us = 0;
    float period_us = 0;
    if (jack_get_cycle_times(self->client_, &cycle_frames, &cycle_us, &next_us, &period_us) == 0) {
        // Signed: the server's estimate of the start may lie a little after
        // the moment this thread was woken.
        self->source_.cycle_started(std::chrono::microseconds(
            static_cast<std::int64_t>(jack_get_time()) - static_cast<std::int64_t>(cycle_us)));
    }
    self->source_.render(left, right, static_cast<int>(frames), 1);
    return 0;
}

} // namespace

std::unique_ptr<AudioOutput> open_jack_output(const AudioStreamInfo& info, AudioSource& source) {
    auto output = std::make_unique<JackOutput>(source);
    if (!output->start(info)) {
        return nullptr;
    }
    return output;
}

} // namespace varkelon
