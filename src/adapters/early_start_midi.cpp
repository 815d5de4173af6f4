// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/early_start_midi.h"

#include "adapters/startup_trace.h"

#include <system_error>

namespace varkelon {

EarlyStartMidi::EarlyStartMidi(std::unique_ptr<MidiSystem> inner) : inner_(std::move(inner)) {
    // Without threads (none to be had) every call simply runs when made.
    try {
        listing_ = std::thread([this] {
            early_names_ = inner_->output_names();
            trace_startup("ports-listed");
        });
        names_waiting_ = true;
        opening_ = std::thread([this] {
            early_rc_ = inner_->open(kMidiMapperId);
            trace_startup("output-opened");
        });
        open_waiting_ = true;
    } catch (const std::system_error&) {
    }
}

EarlyStartMidi::~EarlyStartMidi() {
    settle();
}

void EarlyStartMidi::settle() {
    if (listing_.joinable()) {
        listing_.join();
    }
    if (opening_.joinable()) {
        opening_.join();
    }
    names_waiting_ = false;
    if (open_waiting_) {
        open_waiting_ = false;
        inner_->close();
    }
}

std::vector<std::string> EarlyStartMidi::output_names() {
    if (names_waiting_) {
        // The open may still be under way: the two are allowed side by side.
        listing_.join();
        names_waiting_ = false;
        return std::move(early_names_);
    }
    settle();
    return inner_->output_names();
}

int EarlyStartMidi::open(int id) {
    if (open_waiting_ && id == kMidiMapperId) {
        open_waiting_ = false;
        settle();
        return early_rc_;
    }
    settle();
    return inner_->open(id);
}

void EarlyStartMidi::close() {
    if (open_waiting_) {
        return; // as the program sees it nothing is open yet: the early open waits for it
    }
    settle();
    inner_->close();
}

void EarlyStartMidi::send(std::uint32_t message) {
    settle();
    inner_->send(message);
}

void EarlyStartMidi::set_message_time(MidiClock::time_point at) {
    settle();
    inner_->set_message_time(at);
}

} // namespace varkelon
