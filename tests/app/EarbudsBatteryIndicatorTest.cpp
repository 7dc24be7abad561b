#include <gtest/gtest.h>

#include "app/EarbudsBatteryIndicator.h"

namespace {

DeviceStatus Levels(int left, int right, int batteryCase = 50) {
    DeviceStatus status;
    status.batteryLeft = left;
    status.batteryRight = right;
    status.batteryCase = batteryCase;
    return status;
}

// The desktop shows the bud that runs out first; a bud without a level (0: never reported, or
// out of range values) never drags the shown level to empty, and the case is not a bud.
TEST(EarbudsBatteryIndicatorTest, ShowsTheLowerBudThatReportsALevel) {
    EXPECT_EQ(EarbudsBatteryIndicator::LowerBudLevel(Levels(80, 35)), 35);
    EXPECT_EQ(EarbudsBatteryIndicator::LowerBudLevel(Levels(35, 80)), 35);
    EXPECT_EQ(EarbudsBatteryIndicator::LowerBudLevel(Levels(0, 60, 5)), 60);
    EXPECT_EQ(EarbudsBatteryIndicator::LowerBudLevel(Levels(70, 255)), 70);
    EXPECT_EQ(EarbudsBatteryIndicator::LowerBudLevel(Levels(100, 100)), 100);
    EXPECT_EQ(EarbudsBatteryIndicator::LowerBudLevel(Levels(0, 0, 90)), -1);
    EXPECT_EQ(EarbudsBatteryIndicator::LowerBudLevel(Levels(-3, 101)), -1);
}

}  // namespace
