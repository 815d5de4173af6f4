#pragma once

// Drives one model timer with a precise single-shot QTimer, re-armed to the
// next due time of the timer's grid, so the tempo does not drift.

#include "app/timer_grid.h"

#include <QTimer>

#include <cstdint>
#include <functional>

namespace varkelon {

class TimerDriver final : public QObject {
    Q_OBJECT
public:
    // `due` runs when the QTimer fires; it calls take_due() and, when that
    // says so, delivers the tick.
    TimerDriver(const ModelTimer& timer, std::function<void()> due, QObject* parent = nullptr);

    // Brings the grid in line with the model timer and re-arms.
    void sync(std::int64_t now_ms);
    // True when a tick is due by now; the grid then counts it as delivered.
    bool take_due(std::int64_t now_ms);
    bool armed() const { return qtimer_.isActive(); }

private:
    void arm(std::int64_t now_ms);

    const ModelTimer& timer_;
    TimerGrid grid_;
    QTimer qtimer_;
};

} // namespace varkelon
