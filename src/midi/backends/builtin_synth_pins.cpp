// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/builtin_synth_pins.h"

#include "midi/midi_facts.h"

namespace varkelon {

namespace {

// FluidSynth numbers the percussion bank 128; program 0 is the standard kit
// that channel 10 plays unless a program change picks another.
constexpr int kDrumBank = 128;
constexpr int kStandardDrumKit = 0;
constexpr int kDrumChannelIndex = channel_index(kDrumChannel);

constexpr int preset_key(int bank, int program) {
    return bank * 128 + program;
}

} // namespace

PresetPins::PresetPins(Samples& samples) : samples_(samples) {
    channel_held_.fill(-1);
}

void PresetPins::pin_for_good(const std::vector<int>& programs) {
    if (samples_.pin(kDrumBank, kStandardDrumKit)) {
        pinned_.insert(preset_key(kDrumBank, kStandardDrumKit));
    }
    for (const int program : programs) {
        if (program >= 0 && program <= 127 && pinned_.count(preset_key(0, program)) == 0 &&
            samples_.pin(0, program)) {
            pinned_.insert(preset_key(0, program));
        }
    }
}

void PresetPins::before_queued(std::uint32_t message, std::uint64_t number) {
    const int status = static_cast<int>(message & 0xFFU);
    const auto channel = static_cast<std::size_t>(status & 0x0F);
    const int data1 = static_cast<int>((message >> 8) & 0x7FU);
    if ((status & 0xF0) == 0xC0) {
        const int bank = channel == kDrumChannelIndex ? kDrumBank : bank_[channel];
        const int held = pin_for_a_while(bank, data1);
        if (channel_held_[channel] >= 0) {
            releases_.push_back({number, channel_held_[channel]});
        }
        channel_held_[channel] = held;
    } else if ((status & 0xF0) == 0xB0 && data1 == 0) {
        bank_[channel] = static_cast<int>((message >> 16) & 0x7FU);
    }
}

int PresetPins::pin_for_a_while(int bank, int program) {
    // What FluidSynth selects when the SoundFont lacks the preset.
    const std::array<int, 2> candidates{preset_key(bank, program),
                                        bank == kDrumBank ? preset_key(kDrumBank, kStandardDrumKit)
                                                          : preset_key(0, program)};
    for (const int key : candidates) {
        if (pinned_.count(key) != 0) {
            return -1;
        }
        int& holders = held_[key];
        if (holders > 0) {
            ++holders;
            return key;
        }
        if (samples_.pin(key / 128, key % 128)) {
            holders = 1;
            return key;
        }
        held_.erase(key);
    }
    return -1;
}

void PresetPins::release(std::uint64_t applied) {
    auto kept = releases_.begin();
    for (const Release& r : releases_) {
        if (r.after > applied) {
            *kept++ = r;
            continue;
        }
        const auto it = held_.find(r.preset);
        if (it != held_.end() && --it->second == 0) {
            held_.erase(it);
            // Frees the samples unless a channel still plays the preset.
            samples_.unpin(r.preset / 128, r.preset % 128);
        }
    }
    releases_.erase(kept, releases_.end());
}

} // namespace varkelon
