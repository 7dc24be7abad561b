#include <gtest/gtest.h>

#include "platform/TickCount.h"
#include "platform/window/TimerTable.h"

namespace {

using platform::window::TimerTable;
using platform::window::WindowId;

TEST(TimerTable, DueTimersComeEarliestFirstAndReschedule) {
    platform::ManualTickSource clock(1000);
    TimerTable timers;
    EXPECT_FALSE(timers.set(1, 0, 100));  // id 0 is refused
    ASSERT_TRUE(timers.set(1, 5, 100));
    ASSERT_TRUE(timers.set(2, 5, 30));  // same id, other window: a timer of its own
    ASSERT_TRUE(timers.set(1, 6, 3));   // below the minimum period
    EXPECT_EQ(timers.nextDue(), 1000u + TimerTable::kMinimumPeriodMs);

    WindowId window = 0;
    uint32_t id = 0;
    EXPECT_FALSE(timers.popDue(clock.now(), window, id));
    clock.advance(40);
    ASSERT_TRUE(timers.popDue(clock.now(), window, id));
    EXPECT_EQ(window, 1u);
    EXPECT_EQ(id, 6u);
    ASSERT_TRUE(timers.popDue(clock.now(), window, id));
    EXPECT_EQ(window, 2u);
    // A timer that fell behind ticks once, not once per missed period.
    EXPECT_FALSE(timers.popDue(clock.now(), window, id));
    EXPECT_EQ(timers.nextDue(), 1040u + TimerTable::kMinimumPeriodMs);
}

TEST(TimerTable, RestartKillAndKillAll) {
    platform::ManualTickSource clock(0);
    TimerTable timers;
    timers.set(1, 1, 50);
    clock.advance(40);
    timers.set(1, 1, 50);  // restarting moves the next tick
    EXPECT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers.nextDue(), 90u);
    EXPECT_TRUE(timers.kill(1, 1));
    EXPECT_FALSE(timers.kill(1, 1));
    EXPECT_FALSE(timers.nextDue().has_value());
    timers.set(1, 1, 10);
    timers.set(1, 2, 10);
    timers.set(3, 1, 10);
    timers.killAll(1);
    EXPECT_EQ(timers.size(), 1u);
    EXPECT_TRUE(timers.contains(3, 1));
}

}  // namespace
