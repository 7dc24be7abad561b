#include "platform/TickCount.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(TickCountTest, RealClockIsMonotonic) {
    const uint64_t first = platform::tickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(platform::tickCount(), first + 4);
}

TEST(TickCountTest, ManualSourceReplacesTheClockUntilDestroyed) {
    {
        platform::ManualTickSource clock(5000);
        EXPECT_EQ(platform::tickCount(), 5000u);
        clock.advance(75);
        EXPECT_EQ(platform::tickCount(), 5075u);
        clock.set(10);
        EXPECT_EQ(platform::tickCount(), 10u);
    }
    EXPECT_GT(platform::tickCount(), 10u) << "the real clock is back";
}
