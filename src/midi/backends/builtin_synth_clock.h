// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where the built-in synth's rendering stands against the host clock.
//
// The audio thread reports, as it starts each block, how far its rendered
// time (the sequencer's milliseconds) leads the host clock. A late wake-up
// makes that lead smaller for one block; the rendering front is therefore
// the largest lead seen in the last 250-500 ms: long enough that late
// wake-ups do not move it, short enough to follow a device clock that drifts
// or an output that lost time (an xrun) within half a second.
//
// Where the output says when the server began each cycle, the lead is read
// against that instead: wake-ups do not move it, so it is taken as it is,
// and an output that lost time is followed from its next cycle on.

#include <algorithm>
#include <atomic>
#include <cmath>

namespace varkelon {

// FluidSynth renders this many frames at a time.
constexpr int kFluidBlockFrames = 64;

// FluidSynth takes a message at the start of a block, and its
// sequencer's time at a block is that start in whole milliseconds, cut down.
// The time of the block whose start lies nearest `at_ms` (rendered time):
// a message placed there sounds at most half a block from its moment, where
// the first block at or after the moment would put it up to a whole block
// (and the millisecond rounding) late. (Above 64 kHz a block is shorter than
// a millisecond and two can share one time: then within a millisecond.)
inline unsigned nearest_block_tick(double at_ms, double sample_rate) {
    constexpr double kBlockFrames = kFluidBlockFrames;
    const double block = std::max(0.0, std::round(at_ms * sample_rate / (1000.0 * kBlockFrames)));
    // As FluidSynth computes it, so the two agree to the millisecond.
    return static_cast<unsigned>(1000.0 * (block * kBlockFrames) / sample_rate);
}

class RenderingFront {
public:
    static constexpr double kWindowMs = 250.0;

    // The audio thread's: a block starts at `rendered_ms` while the host
    // clock reads `host_ms`.
    void sample(double rendered_ms, double host_ms) {
        if (exact_.load(std::memory_order_relaxed)) {
            return; // the server's cycles tell better
        }
        const double lead = rendered_ms - host_ms;
        if (!known_.load(std::memory_order_relaxed)) {
            window_start_ms_ = host_ms;
            last_window_max_ = window_max_ = lead;
        } else if (host_ms - window_start_ms_ >= kWindowMs) {
            window_start_ms_ = host_ms;
            last_window_max_ = window_max_;
            window_max_ = lead;
        } else {
            window_max_ = std::max(window_max_, lead);
        }
        lead_ms_.store(std::max(last_window_max_, window_max_));
        known_.store(true);
    }

    // The audio thread's: a block starts at `rendered_ms` in a cycle that the
    // server began at `cycle_host_ms`, on the host clock. From here until
    // forget(), sample() is not needed.
    void sample_cycle(double rendered_ms, double cycle_host_ms) {
        exact_.store(true, std::memory_order_relaxed);
        lead_ms_.store(rendered_ms - cycle_host_ms);
        known_.store(true);
    }

    // Any thread's: the rendered time minus the host time at the front,
    // given `seen_ms`, the same difference read now. What has been rendered
    // is never later than the front seen now; the audio thread's reading is
    // the closer one once it has one.
    double lead_ms(double seen_ms) const {
        return known_.load() ? std::max(seen_ms, lead_ms_.load()) : seen_ms;
    }

    // The front is to be found anew (the rendered time stood still while the
    // output was stopped, the host's did not). Not while the audio thread
    // samples.
    void forget() {
        known_.store(false);
        exact_.store(false);
    }

private:
    std::atomic<double> lead_ms_{0.0};
    std::atomic<bool> known_{false};
    std::atomic<bool> exact_{false};
    double window_start_ms_ = 0.0; // the audio thread's, from here
    double window_max_ = 0.0;
    double last_window_max_ = 0.0;
};

} // namespace varkelon
