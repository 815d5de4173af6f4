// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/system_midi.h"

#include "midi/backends/library_noise.h"
#include "midi/backends/open_codes.h"
#include "midi/midi_facts.h"

#include <algorithm>
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

std::vector<int> programs_to_keep_loaded(const StyleBytes& style_file) {
    // What start-up gives the live chord's channels.
    std::vector<int> programs = programs_used_by_styles(style_file);
    programs.push_back(kLiveChordBassProgram);
    programs.push_back(kLiveChordProgram);
    std::sort(programs.begin(), programs.end());
    programs.erase(std::unique(programs.begin(), programs.end()), programs.end());
    return programs;
}

SystemMidi::Options default_system_midi_options(std::vector<int> pinned_programs) {
    SystemMidi::Options options;
    options.synth.soundfont = find_gm_soundfont();
    options.synth.pinned_programs = std::move(pinned_programs);
    return options;
}

std::unique_ptr<SystemMidi> make_system_midi(std::vector<int> pinned_programs) {
    // Before anything touches JACK: a client must never start a server, which
    // stalls for seconds on a machine without one. FluidSynth's JACK audio
    // driver does not ask for that itself, so the environment must. Set here,
    // before any thread runs, since setenv is not thread-safe.
    setenv("JACK_NO_START_SERVER", "1", 0);
    quiet_audio_libraries();
    return std::make_unique<SystemMidi>(default_system_midi_options(std::move(pinned_programs)));
}

} // namespace varkelon
