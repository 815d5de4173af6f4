// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Watches a stream of packed short messages as a synthesizer would hear it:
// flags every message that is not a valid short message, and keeps which
// notes sound on which channel, so a test can ask whether any note is still
// sounding at a moment where none may. A note released while its channel's
// sustain pedal is down goes on sounding until the pedal is let go; as on
// many synths, all-notes-off does not end it either.

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varkelon {
class RecordingMidiSystem;
}

namespace varkelon::test_support {

struct SoundingNote {
    int channel = 0; // 1..16
    int note = 0;
    friend bool operator==(const SoundingNote&, const SoundingNote&) = default;
};

class MidiStreamChecker {
public:
    struct Fault {
        std::size_t index = 0;     // of the message in the stream, from 0
        std::uint32_t message = 0; // the packed message, for a fault of one message
        bool silence = false;      // a note sounding where none may
        std::string what;
    };

    // One message handed to the port: status in bits 0-7, data 1 in 8-15,
    // data 2 in 16-23, bits 24-31 zero.
    void send(std::uint32_t message);
    // A port opened or closed: a closed port must be silent, a new one starts so.
    void port_opened();
    void port_closed();

    // Follows everything the recording port records from now on.
    void watch(RecordingMidiSystem& midi);

    // Records a fault, named after `moment`, for every note that sounds now.
    // Percussion (channel 10) ends by itself and never counts.
    void expect_silent(const std::string& moment);

    bool sounding(int channel, int note) const;
    bool pedal_down(int channel) const; // channel 1..16
    // Every melodic note sounding now, by channel then note.
    std::vector<SoundingNote> sounding_notes() const;

    const std::vector<Fault>& faults() const { return faults_; }
    std::size_t message_count() const { return count_; }
    // Every fault, one a line.
    std::string report() const;

private:
    void fault(std::uint32_t message, std::string what);
    void release(std::size_t channel, std::uint32_t note);

    std::array<std::bitset<128>, 16> on_{};        // keys down
    std::array<std::bitset<128>, 16> sustained_{}; // keys up, held by the pedal
    std::bitset<16> pedal_;
    std::vector<Fault> faults_;
    std::size_t count_ = 0;
};

// "0x00403C90"
std::string hex_message(std::uint32_t message);

} // namespace varkelon::test_support
