// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The built-in synth's queue of timed messages, between the sending thread
// and the audio thread. Messages keep the order they were sent in: each is
// due at the moment asked for, or at the moment of the one before it when
// that is later, so a message stamped earlier (an input event handled after
// a late tick) never overtakes what already waits. The queue is a ring that
// only the sender resizes, so the audio thread never allocates or frees.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace varkelon {

class TimedQueue {
public:
    struct Timed {
        unsigned at_tick = 0; // rendered time, in ms
        std::uint32_t message = 0;
        std::uint64_t number = 0; // counts the messages queued, from 1
    };

    // The first size: several seconds of a busy rhythm; it grows when it must.
    explicit TimedQueue(std::size_t first_size = 1024) : ring_(first_size == 0 ? 1 : first_size) {}

    // The sender's. The number the next message queued will get.
    std::uint64_t next_number() const { return queued_count_ + 1; }
    // The sender's. Queues `message` for `at_ms` (rendered time), not before
    // the message queued before it, and returns what was queued.
    Timed push(std::uint32_t message, double at_ms);

    // The audio thread's: the first message waiting if it is due at `tick`.
    std::optional<Timed> pop_due(unsigned tick);
    // The audio thread's: every message up to `number` has taken effect.
    void mark_applied(std::uint64_t number) { applied_.store(number, std::memory_order_release); }
    // Any thread's: the number of the last message that has taken effect.
    std::uint64_t applied() const { return applied_.load(std::memory_order_acquire); }

    // The sender's, with the audio thread stopped: takes every message still
    // waiting, in order, and counts them all as taken effect.
    std::vector<Timed> take_all();

private:
    std::mutex mutex_;
    std::vector<Timed> ring_;           // guarded by mutex_
    std::size_t head_ = 0, queued_ = 0; // guarded by mutex_
    // The sender's.
    unsigned last_tick_ = 0;
    std::uint64_t queued_count_ = 0;
    std::atomic<std::uint64_t> applied_{0};
};

} // namespace varkelon
