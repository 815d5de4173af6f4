// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/tee_midi.h"

namespace varkelon {

TeeMidiSystem::TeeMidiSystem(MidiSystem& inner, Sink sink)
    : inner_(inner), sink_(std::move(sink)) {}

TeeMidiSystem::TeeMidiSystem(std::unique_ptr<MidiSystem> inner, Sink sink)
    : owned_(std::move(inner)), inner_(*owned_), sink_(std::move(sink)) {}

int TeeMidiSystem::open(int id) {
    const int rc = inner_.open(id);
    port_open_ = rc == 0;
    return rc;
}

void TeeMidiSystem::send(std::uint32_t message) {
    inner_.send(message);
    // Like the port, the sink takes nothing while no port is open: after a
    // failed open, sends are lost.
    if (port_open_ && sink_) {
        sink_(message);
    }
}

void TeeMidiSystem::close() {
    inner_.close();
    port_open_ = false;
}

} // namespace varkelon
