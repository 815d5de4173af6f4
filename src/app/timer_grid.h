// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/controls.h"

#include <cstdint>
#include <optional>

namespace varkelon {

// When the ticks of one model timer fall due, on a grid anchored on a
// monotonic clock (milliseconds), so the tempo never drifts: tick n is due at
// t0 + n x interval. The host calls sync() after every event it delivers and
// fire() when it delivers a tick. Both the Qt program and varkelon-sim use it.
class TimerGrid {
public:
    // Brings the grid in line with the timer: a start anchors the grid now; an
    // interval change keeps it anchored at the last tick (due at once if that
    // moment has passed); a disabled timer has nothing due.
    void sync(const ModelTimer& timer, std::int64_t now_ms);

    // The moment the next tick is due, if any. An interval of 0 or less never ticks.
    std::optional<std::int64_t> next_due() const;

    // The tick due at next_due() is being delivered at now_ms. A host that fell
    // more than a whole interval behind re-anchors rather than bursting ticks.
    void fire(std::int64_t now_ms);

private:
    bool active_ = false;
    std::uint64_t starts_seen_ = 0;
    int interval_ms_ = 0;
    std::int64_t anchor_ms_ = 0; // the start, or the due time of the last tick
};

} // namespace varkelon
