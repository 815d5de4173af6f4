#include "ui/timer_driver.h"

#include <algorithm>

namespace varkelon {

TimerDriver::TimerDriver(const ModelTimer& timer, std::function<void()> due, QObject* parent)
    : QObject(parent), timer_(timer) {
    qtimer_.setSingleShot(true);
    qtimer_.setTimerType(Qt::PreciseTimer);
    connect(&qtimer_, &QTimer::timeout, this, std::move(due));
}

void TimerDriver::sync(std::int64_t now_ms) {
    grid_.sync(timer_, now_ms);
    arm(now_ms);
}

bool TimerDriver::take_due(std::int64_t now_ms) {
    const auto due = grid_.next_due();
    if (!due || *due > now_ms) {
        return false;
    }
    grid_.fire(now_ms);
    return true;
}

void TimerDriver::arm(std::int64_t now_ms) {
    const auto due = grid_.next_due();
    if (!due) {
        qtimer_.stop();
        return;
    }
    qtimer_.start(static_cast<int>(std::clamp<std::int64_t>(*due - now_ms, 0, 1'000'000)));
}

} // namespace varkelon
