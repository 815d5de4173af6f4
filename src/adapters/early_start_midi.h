// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Start-up's two slow MIDI calls, begun before the program asks for them.
//
// Listing the system's ports and opening the default output (the built-in
// synthesizer with its audio client) take most of the program's start when
// a sound server runs: each opens a client of the server. EarlyStartMidi
// makes both calls on threads of its own as soon as it is made, so that the
// window is built meanwhile; when the program then lists the ports and
// opens the default output, as its start does, it is handed the answers
// (joining the threads first). What the program sees, and every message it
// shows, is exactly what it would see without this: the results only wait.
//
// The inner output must allow output_names() and open(kMidiMapperId) to run
// at the same moment on two threads while nothing is open (SystemMidi does:
// the ports and the synth are apart). Any other first call, or a call in
// another order, first joins both threads and is then passed on: an early
// open that the program does not claim is closed again before its own.

#include "midi/midi_port.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace varkelon {

class EarlyStartMidi final : public MidiSystem {
public:
    explicit EarlyStartMidi(std::unique_ptr<MidiSystem> inner);
    ~EarlyStartMidi() override;
    EarlyStartMidi(const EarlyStartMidi&) = delete;
    EarlyStartMidi& operator=(const EarlyStartMidi&) = delete;

    std::vector<std::string> output_names() override;
    int open(int id) override;
    void send(std::uint32_t message) override;
    void close() override;
    void set_message_time(MidiClock::time_point at) override;

private:
    // Joins both threads; an early open nobody claimed is closed.
    void settle();

    std::unique_ptr<MidiSystem> inner_;
    std::thread listing_;
    std::thread opening_;
    std::vector<std::string> early_names_;
    int early_rc_ = 0;
    bool names_waiting_ = false; // early_names_ not yet handed out
    bool open_waiting_ = false;  // early_rc_ not yet handed out
};

} // namespace varkelon
