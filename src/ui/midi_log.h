#pragma once

// A MIDI output that also appends every message it sends to a file, one
// message a line as 8 upper-case hex digits: what the program played, for the
// end-to-end check.

#include "midi/midi_port.h"

#include <cstdio>
#include <memory>
#include <string>

namespace varkelon {

class LoggingMidiSystem final : public MidiSystem {
public:
    LoggingMidiSystem(std::unique_ptr<MidiSystem> inner, const std::string& log_path);
    ~LoggingMidiSystem() override;
    LoggingMidiSystem(const LoggingMidiSystem&) = delete;
    LoggingMidiSystem& operator=(const LoggingMidiSystem&) = delete;

    std::vector<std::string> output_names() override { return inner_->output_names(); }
    int open(int id) override;
    void send(std::uint32_t message) override;
    void close() override;

    bool log_open() const { return log_ != nullptr; }

private:
    std::unique_ptr<MidiSystem> inner_;
    std::FILE* log_ = nullptr;
    bool port_open_ = false;
};

} // namespace varkelon
