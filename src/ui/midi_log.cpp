#include "ui/midi_log.h"

namespace varkelon {

LoggingMidiSystem::LoggingMidiSystem(std::unique_ptr<MidiSystem> inner, const std::string& log_path)
    : inner_(std::move(inner)), log_(std::fopen(log_path.c_str(), "a")) {}

LoggingMidiSystem::~LoggingMidiSystem() {
    if (log_ != nullptr) {
        std::fclose(log_);
    }
}

int LoggingMidiSystem::open(int id) {
    const int rc = inner_->open(id);
    port_open_ = rc == 0;
    return rc;
}

void LoggingMidiSystem::send(std::uint32_t message) {
    inner_->send(message);
    // Like the port, the log takes only what reaches an open port.
    if (port_open_ && log_ != nullptr) {
        std::fprintf(log_, "%08X\n", static_cast<unsigned>(message));
        std::fflush(log_); // readable while the program runs
    }
}

void LoggingMidiSystem::close() {
    inner_->close();
    port_open_ = false;
}

} // namespace varkelon
