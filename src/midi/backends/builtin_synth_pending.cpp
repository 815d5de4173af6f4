// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/builtin_synth_pending.h"

#include "midi/midi_facts.h"
#include "midi/midi_port.h"

#include <algorithm>

namespace varkelon {

void PendingState::record(std::uint32_t message) {
    const ShortMessage m = unpack_short_message(message);
    const auto channel = static_cast<std::size_t>(channel_index(m.channel()));
    const std::uint8_t data1 = data_value(m.data1);
    const std::uint8_t data2 = data_value(m.data2);
    std::uint8_t* keys = &held_velocity_[channel * kKeys];
    switch (m.kind()) {
    case kNoteOn:
        keys[data1] = data2; // velocity 0 is a note-off
        return;
    case kNoteOff:
        keys[data1] = 0;
        return;
    case kKeyPressure: // key pressure belongs to a note that will not be replayed as it was
        return;
    case kControlChange:
        if (data1 >= kFirstChannelMode) { // channel mode messages end the channel's notes
            std::fill_n(keys, kKeys, std::uint8_t{0});
            if (data1 == kAllSoundOff || data1 == kAllNotesOff) {
                return;
            }
        }
        break;
    default:
        break;
    }
    if (is_channel_status(m.status) && messages_.size() < kMaxMessages) {
        messages_.push_back(message);
    }
}

std::vector<std::uint32_t> PendingState::replay() const {
    std::vector<std::uint32_t> replay = messages_;
    for (std::size_t channel = 0; channel < kChannels; ++channel) {
        for (std::size_t key = 0; key < kKeys; ++key) {
            const int velocity = held_velocity_[channel * kKeys + key];
            if (velocity > 0) {
                replay.push_back(
                    pack_short_message(status_byte(kNoteOn, static_cast<int>(channel) + 1),
                                       static_cast<int>(key), velocity));
            }
        }
    }
    return replay;
}

} // namespace varkelon
