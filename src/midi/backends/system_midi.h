#pragma once

// The MIDI outputs of this machine, for the program entry: the built-in
// General MIDI synthesizer stands as the default output ("MIDI Mapper", -1),
// and the system's output ports (ALSA sequencer, JACK) are devices 0..n-1.

#include "midi/midi_port.h"

#include <memory>

namespace varkelon {

std::unique_ptr<MidiSystem> make_system_midi();

} // namespace varkelon
