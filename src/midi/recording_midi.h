// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/midi_port.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace varkelon {

// A MIDI output that records what reaches it: for tests and varkelon-sim.
// Like a real port it drops sends while nothing is open.
class RecordingMidiSystem final : public MidiSystem {
public:
    struct Event {
        enum class Kind : std::uint8_t { Open, Send, Close };
        Kind kind = Kind::Send;
        int id = 0;                // Open: the identifier
        int rc = 0;                // Open: the result code
        std::uint32_t message = 0; // Send: the packed message
        friend bool operator==(const Event&, const Event&) = default;
    };

    std::vector<std::string> names; // the system's output ports
    int open_rc = 0;                // what every open returns
    std::vector<Event> events;
    std::function<void(const Event&)> on_event; // called for every recorded event

    std::vector<std::string> output_names() override { return names; }
    int open(int id) override;
    void send(std::uint32_t message) override;
    void close() override;

    bool is_open() const { return open_; }
    // The packed messages sent so far, in order.
    std::vector<std::uint32_t> sent() const;
    void clear() { events.clear(); }

private:
    void record(const Event& e);
    bool open_ = false;
};

} // namespace varkelon
