// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Which presets' samples the built-in synth keeps loaded.
//
// With samples loaded on demand, FluidSynth reads a preset's samples when a
// channel first selects it, on the thread that applies the program change:
// for the synth, the audio thread. So the sending thread reads them first,
// as it queues the change, and holds them until the channel has moved on
// and the change that moved it has taken effect. The standard drum kit and
// the programs a style plays are held for good from the SoundFont's load on.

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace varkelon {

class PresetPins {
public:
    // Reading and letting go of a preset's samples (FluidSynth, in the synth).
    class Samples {
    public:
        virtual ~Samples() = default;
        // False when the SoundFont has no such preset.
        virtual bool pin(int bank, int program) = 0;
        virtual void unpin(int bank, int program) = 0;
    };

    explicit PresetPins(Samples& samples);

    // At the load: the standard drum kit and the melodic `programs` stay
    // loaded for good. Those outside 0..127 or missing are skipped.
    void pin_for_good(const std::vector<int>& programs);

    // The sender's, before `message` is queued as number `number`: notes a
    // bank select; for a program change reads the samples the channel will
    // play, unless held already.
    void before_queued(std::uint32_t message, std::uint64_t number);

    // Lets go of what channels held before program changes numbered up to
    // `applied`, now that those have taken effect, unless held otherwise.
    void release(std::uint64_t applied);

private:
    struct Release {
        std::uint64_t after; // the program change that moved the channel on
        int preset;          // bank * 128 + program
    };

    int pin_for_a_while(int bank, int program);

    Samples& samples_;
    std::set<int> pinned_;               // for good, bank * 128 + program
    std::map<int, int> held_;            // pinned for a while -> channels holding it
    std::array<int, 16> channel_held_{}; // the preset pinned for the channel, or -1
    std::array<int, 16> bank_{};         // bank select as sent (controller 0)
    std::vector<Release> releases_;
};

} // namespace varkelon
