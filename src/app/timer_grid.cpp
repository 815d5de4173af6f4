// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/timer_grid.h"

namespace varkelon {

void TimerGrid::sync(const ModelTimer& timer, std::int64_t now_ms) {
    if (!timer.enabled) {
        active_ = false;
        return;
    }
    if (!active_ || timer.starts != starts_seen_) {
        active_ = true;
        starts_seen_ = timer.starts;
        interval_ms_ = timer.interval_ms;
        anchor_ms_ = now_ms;
        return;
    }
    interval_ms_ = timer.interval_ms;
}

std::optional<std::int64_t> TimerGrid::next_due() const {
    if (!active_ || interval_ms_ <= 0) {
        return std::nullopt;
    }
    return anchor_ms_ + interval_ms_;
}

void TimerGrid::fire(std::int64_t now_ms) {
    const auto due = next_due();
    if (!due) {
        return;
    }
    anchor_ms_ = *due;
    if (now_ms - anchor_ms_ >= interval_ms_) {
        anchor_ms_ = now_ms;
    }
}

} // namespace varkelon
