// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives one model timer with a precise single-shot QTimer, re-armed to the
// next due time of the timer's grid, so the tempo does not drift. QTimer
// counts whole milliseconds from the moment it is armed, which lies up to a
// millisecond past the last whole one: armed for the full wait, every tick
// would come up to 1 ms late. So it is armed a millisecond short and the
// rest is waited out on `clock`, which must be the clock of the times given.

#include "app/timer_grid.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>

namespace varkelon {

class TimerDriver final : public QObject {
    Q_OBJECT
public:
    // `due` runs when the QTimer fires; it calls take_due() and, when that
    // says so, delivers the tick.
    TimerDriver(const ModelTimer& timer, const QElapsedTimer& clock, std::function<void()> due,
                QObject* parent = nullptr);

    // Brings the grid in line with the model timer and re-arms.
    void sync(std::int64_t now_ms);
    // When a tick is due by now: the moment it was due (the one its sounds
    // belong to, however late it runs); the grid then counts it as delivered.
    std::optional<std::int64_t> take_due(std::int64_t now_ms);
    bool armed() const { return qtimer_.isActive(); }

private:
    void arm();
    void wait_until_due() const;

    const ModelTimer& timer_;
    const QElapsedTimer& clock_;
    TimerGrid grid_;
    QTimer qtimer_;
};

} // namespace varkelon
