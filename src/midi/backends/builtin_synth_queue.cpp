// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/builtin_synth_queue.h"

#include <algorithm>
#include <cmath>

namespace varkelon {

TimedQueue::Timed TimedQueue::push(std::uint32_t message, double at_ms) {
    const auto tick = std::max(last_tick_, static_cast<unsigned>(std::max(0.0, std::round(at_ms))));
    const Timed timed{tick, message, queued_count_ + 1};
    {
        const std::lock_guard lock(mutex_);
        if (queued_ == ring_.size()) {
            std::vector<Timed> bigger(ring_.size() * 2);
            for (std::size_t i = 0; i < queued_; ++i) {
                bigger[i] = ring_[(head_ + i) % ring_.size()];
            }
            ring_ = std::move(bigger);
            head_ = 0;
        }
        ring_[(head_ + queued_) % ring_.size()] = timed;
        ++queued_;
    }
    last_tick_ = tick;
    queued_count_ = timed.number;
    return timed;
}

std::optional<TimedQueue::Timed> TimedQueue::pop_due(unsigned tick) {
    const std::lock_guard lock(mutex_);
    if (queued_ == 0 || ring_[head_].at_tick > tick) {
        return std::nullopt;
    }
    const Timed next = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --queued_;
    return next;
}

std::vector<TimedQueue::Timed> TimedQueue::take_all() {
    std::vector<Timed> waiting;
    {
        const std::lock_guard lock(mutex_);
        for (; queued_ > 0; --queued_, head_ = (head_ + 1) % ring_.size()) {
            waiting.push_back(ring_[head_]);
        }
    }
    mark_applied(queued_count_);
    return waiting;
}

} // namespace varkelon
