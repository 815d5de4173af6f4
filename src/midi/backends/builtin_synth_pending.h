// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What is sent to the built-in synth before its SoundFont has loaded.
// Controllers and program changes are kept in order and replayed; of the
// notes only those still held are sounded, since a note that began and
// ended during the load would otherwise play late, and a running rhythm
// would come out as one burst.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varkelon {

class PendingState {
public:
    // Enough for every controller of every channel several times over; a
    // flood beyond that adds nothing a replay needs.
    static constexpr std::size_t kMaxMessages = 4096;

    void record(std::uint32_t message);
    // Every held note ends, as when the output is closed.
    void release_all() { held_velocity_.fill(0); }
    // What to send once loaded, in order: the kept messages, then a note-on
    // for each note still held.
    std::vector<std::uint32_t> replay() const;

private:
    static constexpr std::size_t kChannels = 16;
    static constexpr std::size_t kKeys = 128;

    std::vector<std::uint32_t> messages_;
    std::array<std::uint8_t, kChannels * kKeys> held_velocity_{};
};

} // namespace varkelon
