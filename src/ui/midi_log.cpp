// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/midi_log.h"

namespace varkelon {

MidiLogFile::MidiLogFile(const std::string& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "a"); f != nullptr) {
        file_.reset(f, [](std::FILE* open) { std::fclose(open); });
    }
}

void MidiLogFile::operator()(std::uint32_t message) const {
    if (file_ != nullptr) {
        std::fprintf(file_.get(), "%08X\n", static_cast<unsigned>(message));
        std::fflush(file_.get()); // readable while the program runs
    }
}

} // namespace varkelon
