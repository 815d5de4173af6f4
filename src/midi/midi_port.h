// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/midi_facts.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace varkelon {

// The clock of message time stamps: the host's monotonic clock.
using MidiClock = std::chrono::steady_clock;

// Identifier of the default output ("MIDI Mapper"): the built-in synthesizer.
inline constexpr int kMidiMapperId = -1;

// The MIDI output as the core sees it. Sends are fire-and-forget; a send while
// no port is open is lost quietly. Implementations never throw.
class MidiSystem {
public:
    virtual ~MidiSystem() = default;
    // Names of the system's output ports, device 0 first.
    virtual std::vector<std::string> output_names() = 0;
    // Opens device `id` (kMidiMapperId or 0..n-1); 0 on success, else a result code.
    virtual int open(int id) = 0;
    // One short message, packed by pack_short_message().
    virtual void send(std::uint32_t message) = 0;
    // Closes the open port, if any.
    virtual void close() = 0;

    // Optional, for the host (the core never calls it): the messages sent from
    // now on belong to the moment `at` (the due time of the timer tick or the
    // time of the input event being handled). An output that can sound a
    // message at its moment uses it; the others send at once and ignore it.
    virtual void set_message_time(MidiClock::time_point at) { (void)at; }
};

} // namespace varkelon
