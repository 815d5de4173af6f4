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
        const int rc = synth_.open();
        open_ = rc == kOpenOk ? Open::Synth : Open::None;
        return rc;
    }
    if (id < 0 || static_cast<std::size_t>(id) >= listed_.size()) {
        return kNoSuchPort;
    }
    const int rc = ports_.open(listed_[static_cast<std::size_t>(id)]);
    open_ = rc == kOpenOk ? Open::Port : Open::None;
    return rc;
}

void SystemMidi::send(std::uint32_t message) {
    switch (open_) {
    case Open::Synth:
        synth_.send(message);
        break;
    case Open::Port:
        ports_.send(message);
        break;
    case Open::None:
        break;
    }
}

void SystemMidi::close() {
    synth_.close();
    ports_.close();
    open_ = Open::None;
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
