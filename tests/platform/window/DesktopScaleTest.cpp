#include "platform/window/DesktopScale.h"

#include <gtest/gtest.h>

namespace desktop_scale = platform::window::desktop_scale;

TEST(DesktopScaleTest, GdkScaleTakesWholeNumbersOnly) {
    EXPECT_EQ(desktop_scale::fromGdkScale("2"), 2.0);
    EXPECT_EQ(desktop_scale::fromGdkScale("1"), 1.0);
    EXPECT_EQ(desktop_scale::fromGdkScale(nullptr), 0.0);
    EXPECT_EQ(desktop_scale::fromGdkScale(""), 0.0);
    EXPECT_EQ(desktop_scale::fromGdkScale("1.5"), 0.0);
    EXPECT_EQ(desktop_scale::fromGdkScale("two"), 0.0);
    EXPECT_EQ(desktop_scale::fromGdkScale("0"), 0.0);
    EXPECT_EQ(desktop_scale::fromGdkScale("40"), 0.0);
}

TEST(DesktopScaleTest, XftDpiIsFoundAmongOtherResources) {
    EXPECT_EQ(desktop_scale::fromXResources("Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n"),
              1.5);
    EXPECT_EQ(desktop_scale::fromXResources("Xft.dpi: 192"), 2.0);
    EXPECT_EQ(desktop_scale::fromXResources("Xft.dpi:\t96\r\n"), 1.0);
    // Absent, garbled or absurd values leave the decision to the next source.
    EXPECT_EQ(desktop_scale::fromXResources(""), 0.0);
    EXPECT_EQ(desktop_scale::fromXResources("Xcursor.size:\t24\n"), 0.0);
    EXPECT_EQ(desktop_scale::fromXResources("Xft.dpi:\tlarge\n"), 0.0);
    EXPECT_EQ(desktop_scale::fromXResources("Xft.dpi:\t144px\n"), 0.0);
    EXPECT_EQ(desktop_scale::fromXResources("Xft.dpi:\t4000\n"), 0.0);
    EXPECT_EQ(desktop_scale::fromXResources("Not.Xft.dpi:\t144\n"), 0.0);
}

TEST(DesktopScaleTest, OutputScaleRoundsToQuarterSteps) {
    EXPECT_EQ(desktop_scale::fromOutputWidths(2048, 1024), 2.0);
    EXPECT_EQ(desktop_scale::fromOutputWidths(1920, 1280), 1.5);
    EXPECT_EQ(desktop_scale::fromOutputWidths(1921, 1280), 1.5);
    EXPECT_EQ(desktop_scale::fromOutputWidths(1024, 1024), 1.0);
    EXPECT_EQ(desktop_scale::fromOutputWidths(0, 1024), 0.0);
    EXPECT_EQ(desktop_scale::fromOutputWidths(1024, 0), 0.0);
}
