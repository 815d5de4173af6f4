// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The built-in synth's own audio outputs: a stream of a sound server that
// the synth fills on the server's thread, named and tagged as the program,
// and able to stop asking for audio while nothing sounds, so the server can
// suspend its device.

#include <chrono>
#include <memory>
#include <string>

namespace varkelon {

// What plays through an output (the synth).
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // On the output's thread: fills `frames` frames, the left and right
    // samples every `stride` floats from `left` and `right`. Returns false
    // while the source sleeps (it then writes silence): an output that can
    // stop asking for audio does so until resume().
    virtual bool render(float* left, float* right, int frames, int stride) = 0;
    // On the output's thread, just before render(): the server's cycle that
    // this render fills began `ago` before now, by the server's own clock
    // (negative where the server's estimate lies after the wake-up); the
    // source judges whether to believe it.
    // Outputs that can tell (JACK, PipeWire) say so every cycle, so the
    // source can place sound against the server's cycles, which a late
    // wake-up of the output's thread does not move.
    virtual void cycle_started(std::chrono::nanoseconds ago) { static_cast<void>(ago); }
};

struct AudioStreamInfo {
    std::string name;      // the application's and the stream's, as a mixer lists it
    std::string icon_name; // the desktop's icon of the program
    std::string role;      // the kind of sound, for the server's policies
    double sample_rate = 48000.0;
    int period_frames = 256;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default; // no render() runs after it
    // Any thread's: asks for audio again after render() returned false.
    virtual void resume() = 0;
};

// A PipeWire stream; null when no PipeWire daemon answers.
std::unique_ptr<AudioOutput> open_pipewire_output(const AudioStreamInfo& info, AudioSource& source);
// False only when no socket is there where a PipeWire client would connect
// (PIPEWIRE_REMOTE, or pipewire-0 in the runtime folders): then
// open_pipewire_output returns null without starting PipeWire's client,
// which takes tens of milliseconds just to find nobody there.
bool pipewire_socket_may_exist();
// A PulseAudio stream (pipewire-pulse answers as PulseAudio too); null when
// no server answers.
std::unique_ptr<AudioOutput> open_pulse_output(const AudioStreamInfo& info, AudioSource& source);
// A JACK client, its two ports connected to the system's playback ports;
// null without a running server or at another sample rate than asked.
std::unique_ptr<AudioOutput> open_jack_output(const AudioStreamInfo& info, AudioSource& source);

} // namespace varkelon
