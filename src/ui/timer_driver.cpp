// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/timer_driver.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace varkelon {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;

} // namespace

TimerDriver::TimerDriver(const ModelTimer& timer, const QElapsedTimer& clock,
                         std::function<void()> due, QObject* parent)
    : QObject(parent), timer_(timer), clock_(clock) {
    qtimer_.setSingleShot(true);
    qtimer_.setTimerType(Qt::PreciseTimer);
    connect(&qtimer_, &QTimer::timeout, this, [this, due = std::move(due)] {
        wait_until_due();
        due();
    });
}

void TimerDriver::sync(std::int64_t now_ms) {
    grid_.sync(timer_, now_ms);
    arm();
}

std::optional<std::int64_t> TimerDriver::take_due(std::int64_t now_ms) {
    const auto due = grid_.next_due();
    if (!due || *due > now_ms) {
        return std::nullopt;
    }
    grid_.fire(now_ms);
    return due;
}

void TimerDriver::arm() {
    const auto due = grid_.next_due();
    if (!due) {
        qtimer_.stop();
        return;
    }
    // A millisecond short of the due time, never later than it.
    const std::int64_t left_ms = (*due * kNsPerMs - clock_.nsecsElapsed()) / kNsPerMs - 1;
    qtimer_.start(static_cast<int>(std::clamp<std::int64_t>(left_ms, 0, 1'000'000)));
}

// The last part of the wait, short enough to block the loop for.
void TimerDriver::wait_until_due() const {
    const auto due = grid_.next_due();
    if (!due) {
        return;
    }
    const std::int64_t left_ns = *due * kNsPerMs - clock_.nsecsElapsed();
    if (left_ns > 0 && left_ns <= 2 * kNsPerMs) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(left_ns));
    }
}

} // namespace varkelon
