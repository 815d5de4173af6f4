// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's MIDI log: every message that reaches the open port, appended
// to a file one a line as 8 upper-case hex digits. What the program played,
// for the end-to-end check.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace varkelon {

// A sink for TeeMidiSystem. Copies share the file, which closes with the last.
class MidiLogFile {
public:
    // Appends to `path`; when it cannot be opened, messages go nowhere.
    explicit MidiLogFile(const std::string& path);

    bool is_open() const { return file_ != nullptr; }
    void operator()(std::uint32_t message) const;

private:
    std::shared_ptr<std::FILE> file_;
};

} // namespace varkelon
