// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's MIDI input port, "Варкелон", on the ALSA sequencer and, while
// a JACK server runs, on JACK. Every hardware MIDI output of the system is
// connected to it at start and whenever one appears later, so plugging in a
// keyboard is all a player does; software ports are left alone, so nothing
// loops back. Notes, controllers, pitch bend and channel pressure are passed
// on; everything else stays here.
//
// The callbacks run on a thread of this class, one at a time and in order;
// the caller hands them to its own thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace varkelon {

class MidiKeyboardInput {
public:
    struct Callbacks {
        // A short message: status (with its channel), data 1, data 2 (0 for
        // channel pressure).
        std::function<void(std::uint8_t, std::uint8_t, std::uint8_t)> message;
        // A keyboard that was connected has gone: the notes it holds will
        // never be released by it.
        std::function<void()> keyboard_gone;
    };

    static constexpr const char* kPortName = "Варкелон";

    // Opens the port wherever a MIDI system answers; null when none does.
    static std::unique_ptr<MidiKeyboardInput> start(Callbacks callbacks);
    ~MidiKeyboardInput();
    MidiKeyboardInput(const MidiKeyboardInput&) = delete;
    MidiKeyboardInput& operator=(const MidiKeyboardInput&) = delete;

    bool on_alsa() const;
    bool on_jack() const;
    // The JACK port's full name ("client:port"), empty when not on JACK.
    std::string jack_port_name() const;

private:
    struct Alsa;
    struct Jack;
    explicit MidiKeyboardInput(Callbacks callbacks);

    Callbacks callbacks_;
    std::unique_ptr<Alsa> alsa_;
    std::unique_ptr<Jack> jack_;
};

} // namespace varkelon
