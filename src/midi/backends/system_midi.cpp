#include "midi/backends/system_midi.h"

#include "midi/backends/library_noise.h"
#include "midi/backends/open_codes.h"

#include <cstdlib>

namespace varkelon {

SystemMidi::SystemMidi(Options options)
    : synth_(std::move(options.synth)), ports_(std::move(options.ports)) {}

SystemMidi::~SystemMidi() {
    close();
}

std::vector<std::string> SystemMidi::output_names() {
    listed_ = ports_.list();
    std::vector<std::string> names;
    names.reserve(listed_.size());
    for (const auto& port : listed_) {
        names.push_back(port.caption);
    }
    return names;
}

int SystemMidi::open(int id) {
    close();
    if (id == kMidiMapperId) {
        return synth_.open();
    }
    if (id < 0 || static_cast<std::size_t>(id) >= listed_.size()) {
        return kNoSuchPort;
    }
    return ports_.open(listed_[static_cast<std::size_t>(id)]);
}

void SystemMidi::send(std::uint32_t message) {
    // open() closes both first, so at most one is open; the other, like any
    // closed output, drops the message.
    synth_.send(message);
    ports_.send(message);
}

void SystemMidi::close() {
    synth_.close();
    ports_.close();
}

SystemMidi::Options default_system_midi_options() {
    SystemMidi::Options options;
    options.synth.soundfont = find_gm_soundfont();
    return options;
}

std::unique_ptr<MidiSystem> make_system_midi() {
    // Before anything touches JACK: a client must never start a server, which
    // stalls for seconds on a machine without one. FluidSynth's JACK audio
    // driver does not ask for that itself, so the environment must. Set here,
    // before any thread runs, since setenv is not thread-safe.
    setenv("JACK_NO_START_SERVER", "1", 0);
    quiet_audio_libraries();
    return std::make_unique<SystemMidi>(default_system_midi_options());
}

} // namespace varkelon
