// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The MIDI outputs of this machine, for the program entry: the built-in
// General MIDI synthesizer stands as the default output ("MIDI Mapper", -1),
// and the system's output ports (ALSA sequencer, JACK) are devices 0..n-1.

#include "engine/style_format.h"
#include "midi/backends/builtin_synth.h"
#include "midi/backends/rtmidi_ports.h"
#include "midi/midi_port.h"

#include <memory>
#include <vector>

namespace varkelon {

class SystemMidi final : public MidiSystem {
public:
    struct Options {
        BuiltinSynth::Options synth;
        RtMidiPorts::Options ports;
    };

    explicit SystemMidi(Options options);
    ~SystemMidi() override;
    SystemMidi(const SystemMidi&) = delete;
    SystemMidi& operator=(const SystemMidi&) = delete;

    // Lists the ports anew; the identifiers of open() follow this list.
    std::vector<std::string> output_names() override;
    int open(int id) override;
    void send(std::uint32_t message) override;
    void close() override;
    // Only the built-in synth keeps time stamps; the OS ports send at once.
    void set_message_time(MidiClock::time_point at) override { synth_.set_message_time(at); }

    BuiltinSynth& synth() { return synth_; }

private:
    BuiltinSynth synth_;
    RtMidiPorts ports_;
    std::vector<OutputPort> listed_;
};

// Every melodic program the program itself can select while the rhythm
// plays: the styles' own (from the style data file's bytes; none for a file
// that is not one) and the live chord's bass and chord programs. The solo
// channel's default instruments are among the styles' programs; any other
// instrument the user picks loads when picked.
std::vector<int> programs_to_keep_loaded(const StyleBytes& style_file);

// The options the program runs with: the system's GM SoundFont with the
// given programs kept loaded, the default audio output, ALSA and JACK ports.
SystemMidi::Options default_system_midi_options(std::vector<int> pinned_programs = {});

std::unique_ptr<SystemMidi> make_system_midi(std::vector<int> pinned_programs = {});

} // namespace varkelon
