#pragma once

// Shared pieces of the back-end tests: a MIDI system that notes what the core
// hands to the port, and the style data file for starting the program.

#include "app/fakes.h"
#include "midi/midi_port.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varkelon::test {

// Passes everything on to `inner` and records the messages sent while a
// port is open: exactly what should come out at the other end.
class TeeMidi final : public MidiSystem {
public:
    explicit TeeMidi(MidiSystem& inner) : inner_(inner) {}

    std::vector<std::string> output_names() override { return inner_.output_names(); }
    int open(int id) override {
        const int rc = inner_.open(id);
        open_ = rc == 0;
        return rc;
    }
    void send(std::uint32_t message) override {
        if (open_) {
            sent.push_back(message);
        }
        inner_.send(message);
    }
    void close() override {
        inner_.close();
        open_ = false;
    }

    std::vector<std::uint32_t> sent;

private:
    MidiSystem& inner_;
    bool open_ = false;
};

// The program's style data file, read from the source tree.
MemoryStyleFile style_data_file();

} // namespace varkelon::test
