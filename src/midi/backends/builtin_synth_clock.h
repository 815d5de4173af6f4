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

#include <algorithm>
#include <atomic>

namespace varkelon {

class RenderingFront {
public:
    static constexpr double kWindowMs = 250.0;

    // The audio thread's: a block starts at `rendered_ms` while the host
    // clock reads `host_ms`.
    void sample(double rendered_ms, double host_ms) {
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
    void forget() { known_.store(false); }

private:
    std::atomic<double> lead_ms_{0.0};
    std::atomic<bool> known_{false};
    double window_start_ms_ = 0.0; // the audio thread's, from here
    double window_max_ = 0.0;
    double last_window_max_ = 0.0;
};

} // namespace varkelon
