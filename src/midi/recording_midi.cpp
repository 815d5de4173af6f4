// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/recording_midi.h"

namespace varkelon {

int RecordingMidiSystem::open(int id) {
    open_ = open_rc == 0;
    record(Event{Event::Kind::Open, id, open_rc, 0});
    return open_rc;
}

void RecordingMidiSystem::send(std::uint32_t message) {
    if (open_) {
        record(Event{Event::Kind::Send, 0, 0, message});
    }
}

void RecordingMidiSystem::close() {
    if (open_) {
        open_ = false;
        record(Event{Event::Kind::Close, 0, 0, 0});
    }
}

std::vector<std::uint32_t> RecordingMidiSystem::sent() const {
    std::vector<std::uint32_t> out;
    for (const auto& e : events) {
        if (e.kind == Event::Kind::Send) {
            out.push_back(e.message);
        }
    }
    return out;
}

void RecordingMidiSystem::record(const Event& e) {
    events.push_back(e);
    if (on_event) {
        on_event(e);
    }
}

} // namespace varkelon
