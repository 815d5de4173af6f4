// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/builtin_synth_pending.h"

#include "midi/midi_port.h"

#include <algorithm>

namespace varkelon {

void PendingState::record(std::uint32_t message) {
    const unsigned status = message & 0xFFU;
    const unsigned kind = status & 0xF0U;
    const unsigned channel = status & 0x0FU;
    const unsigned data1 = (message >> 8) & 0x7FU;
    const unsigned data2 = (message >> 16) & 0x7FU;
    std::uint8_t* keys = &held_velocity_[std::size_t{channel} * kKeys];
    switch (kind) {
    case 0x90:
        keys[data1] = static_cast<std::uint8_t>(data2); // velocity 0 is a note-off
        return;
    case 0x80:
        keys[data1] = 0;
        return;
    case 0xA0: // key pressure belongs to a note that will not be replayed as it was
        return;
    case 0xB0:
        if (data1 >= 120) { // channel mode messages end the channel's notes
            std::fill_n(keys, kKeys, std::uint8_t{0});
            if (data1 == 120 || data1 == 123) {
                return;
            }
        }
        break;
    default:
        break;
    }
    if (status >= 0x80 && status < 0xF0 && messages_.size() < kMaxMessages) {
        messages_.push_back(message);
    }
}

std::vector<std::uint32_t> PendingState::replay() const {
    std::vector<std::uint32_t> replay = messages_;
    for (std::size_t channel = 0; channel < kChannels; ++channel) {
        for (std::size_t key = 0; key < kKeys; ++key) {
            const int velocity = held_velocity_[channel * kKeys + key];
            if (velocity > 0) {
                replay.push_back(pack_short_message(0x90 | static_cast<int>(channel),
                                                    static_cast<int>(key), velocity));
            }
        }
    }
    return replay;
}

} // namespace varkelon
