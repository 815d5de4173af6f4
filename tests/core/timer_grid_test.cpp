// SPDX-License-Identifier: GPL-3.0-or-later
// The tick grid of a model timer: ticks fall on start + n x interval however
// late the host delivers them.

#include "app/timer_grid.h"

#include <gtest/gtest.h>

namespace varkelon {
namespace {

class Grid : public ::testing::Test {
protected:
    void SetUp() override {
        timer.interval_ms = 100;
        timer.set_enabled(true);
        grid.sync(timer, 1000);
    }
    // Delivers the due tick `late_ms` after it fell due.
    void deliver(std::int64_t late_ms) {
        const auto due = grid.next_due();
        ASSERT_TRUE(due.has_value());
        grid.fire(*due + late_ms);
        grid.sync(timer, *due + late_ms);
    }
    ModelTimer timer{"T", 0, false, 0};
    TimerGrid grid;
};

TEST_F(Grid, StartAnchorsTheGrid) {
    EXPECT_EQ(grid.next_due(), 1100);
}

TEST_F(Grid, LateDeliveriesDoNotDrift) {
    const std::int64_t lateness[] = {3, 7, 0, 12, 5, 9, 1, 30, 2, 4};
    for (std::size_t n = 0; n < std::size(lateness); ++n) {
        deliver(lateness[n]);
        EXPECT_EQ(grid.next_due(), 1000 + 100 * static_cast<std::int64_t>(n + 2)) << n;
    }
}

TEST_F(Grid, SyncWithoutChangeKeepsTheGrid) {
    grid.sync(timer, 1040);
    grid.sync(timer, 1090);
    EXPECT_EQ(grid.next_due(), 1100);
}

TEST_F(Grid, EnablingAnEnabledTimerChangesNothing) {
    timer.set_enabled(true);
    grid.sync(timer, 1050);
    EXPECT_EQ(grid.next_due(), 1100);
}

TEST_F(Grid, IntervalChangeKeepsTheAnchorAtTheLastTick) {
    deliver(4); // the tick due at 1100
    timer.set_interval(150);
    grid.sync(timer, 1120);
    EXPECT_EQ(grid.next_due(), 1250);
}

TEST_F(Grid, ShorterIntervalAlreadyPassedIsDueAtOnce) {
    deliver(0); // the tick due at 1100
    timer.set_interval(40);
    grid.sync(timer, 1170);
    ASSERT_TRUE(grid.next_due().has_value());
    EXPECT_EQ(*grid.next_due(), 1140);
    EXPECT_LE(*grid.next_due(), 1170);

    grid.fire(1170);
    EXPECT_EQ(grid.next_due(), 1180) << "the grid goes on from the tick that was due";
}

TEST_F(Grid, ReenablingReanchors) {
    deliver(2);
    timer.set_enabled(false);
    grid.sync(timer, 1130);
    EXPECT_EQ(grid.next_due(), std::nullopt);

    timer.set_enabled(true);
    grid.sync(timer, 1377);
    EXPECT_EQ(grid.next_due(), 1477);
}

TEST_F(Grid, OffAndOnWithinOneEventReanchors) {
    timer.set_enabled(false);
    timer.set_enabled(true);
    grid.sync(timer, 1060);
    EXPECT_EQ(grid.next_due(), 1160);
}

TEST_F(Grid, DisabledTimerHasNothingDue) {
    timer.set_enabled(false);
    grid.sync(timer, 1050);
    EXPECT_EQ(grid.next_due(), std::nullopt);
    grid.fire(1200);
    EXPECT_EQ(grid.next_due(), std::nullopt);
}

TEST_F(Grid, IntervalZeroNeverTicks) {
    timer.set_interval(0);
    grid.sync(timer, 1010);
    EXPECT_EQ(grid.next_due(), std::nullopt);

    ModelTimer zero{"Z", 0, false, 0};
    zero.set_enabled(true);
    TimerGrid fresh;
    fresh.sync(zero, 0);
    EXPECT_EQ(fresh.next_due(), std::nullopt);
}

TEST_F(Grid, HostFarBehindReanchorsInsteadOfBursting) {
    grid.fire(1350); // the tick due at 1100, delivered two and a half intervals late
    EXPECT_EQ(grid.next_due(), 1450);
}

TEST(GridStart, NeverSyncedHasNothingDue) {
    TimerGrid grid;
    EXPECT_EQ(grid.next_due(), std::nullopt);
}

} // namespace
} // namespace varkelon
