// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/midi_port.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace varkelon {

// A MIDI output that passes everything on to another and hands `sink` each
// message that reaches an open port there: exactly what should come out at
// the other end. The program's MIDI log and the back-end tests listen this way.
class TeeMidiSystem final : public MidiSystem {
public:
    using Sink = std::function<void(std::uint32_t message)>;

    // Uses `inner`, which must outlive this.
    TeeMidiSystem(MidiSystem& inner, Sink sink);
    // Owns `inner`.
    TeeMidiSystem(std::unique_ptr<MidiSystem> inner, Sink sink);

    std::vector<std::string> output_names() override { return inner_.output_names(); }
    int open(int id) override;
    void send(std::uint32_t message) override;
    void close() override;
    void set_message_time(MidiClock::time_point at) override { inner_.set_message_time(at); }

private:
    std::unique_ptr<MidiSystem> owned_; // before inner_, which may refer to it
    MidiSystem& inner_;
    Sink sink_;
    bool port_open_ = false;
};

} // namespace varkelon
