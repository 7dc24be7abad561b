// Frames: timers with automatic ids on the test clock, closing, and rendered frames compared
// against expected pixels.

#include <gtest/gtest.h>

#include "platform/TickCount.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SDispatcher.h"
#include "ui/SFontTable.h"
#include "ui/SWindowAgent.h"

namespace ui_test {
namespace {

class FrameTest : public UiTest {};

TEST_F(FrameTest, AutomaticTimerIdsTakeTheSmallestFreeNumber) {
    platform::ManualTickSource clock;
    CreateFrame(100, 100);
    auto* a = AddChild(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    auto* b = AddChild(&frame.root, "B", SMargin(0, 0, 0, 0), SSize());
    EXPECT_EQ(frame.agent.SetTimer(a, 100), 1u);
    EXPECT_EQ(frame.agent.SetTimer(b, 50), 2u);
    EXPECT_EQ(b->SetTimer(7, 30), 7u);  // caller-chosen ids share the table
    EXPECT_EQ(frame.agent.SetTimer(a, 10), 3u);
    EXPECT_EQ(frame.agent.KillTimer(1), 1);
    EXPECT_EQ(frame.agent.SetTimer(b, 20), 1u);  // the freed id is taken again

    frame.agent.KillTimer(1);
    frame.agent.KillTimer(3);
    log.clear();
    clock.advance(30);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"B:timer 7"}));
    log.clear();
    clock.advance(20);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"B:timer 2"}));
    log.clear();
    // A clock that jumps far ahead gives one tick per timer, not a burst.
    clock.advance(1000);
    Pump();
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(FrameTest, TimersWithoutAFrameAreRefused) {
    RecordingWidget loose(&log);
    EXPECT_EQ(loose.SetTimer(1, 10), 0u);
    EXPECT_EQ(loose.KillTimer(1), 0);
    EXPECT_EQ(loose.SetCapture(), 0);
}

TEST_F(FrameTest, DestroyingTheFrameKillsItsTimersAndTree) {
    platform::ManualTickSource clock;
    CreateFrame(100, 100);
    auto* a = AddChild(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    a->SetTimer(3, 10);
    frame.Destroy();
    EXPECT_FALSE(frame.IsWindow());
    EXPECT_EQ(frame.root.IsCreated(), 0);
    EXPECT_EQ(a->IsCreated(), 0);
    clock.advance(50);
    Pump();
    EXPECT_TRUE(log.empty());
}

TEST_F(FrameTest, CloseRequestDestroysAndTheMainFrameEndsTheLoop) {
    CreateFrame(100, 100);
    app->SetMainFrame(&frame);
    backend.injectCloseRequest(WindowId());
    EXPECT_EQ(app->GetDispatcher().Run(), 0);
    EXPECT_FALSE(frame.IsWindow());
}

// Solid panels give exact pixels at any zoom.
TEST_F(FrameTest, RenderedFrameMatchesExpectedPixels) {
    CreateFrame(120, 80, 1, 1.5);  // 80 x 53.3 logical
    auto* blue = AddChild(&frame.root, "Blue", SMargin(10, 10, -1, -1), SSize(20, 20));
    blue->SetBackgroundColor(0x00FF0000u);  // opaque blue: pixels 15..45
    auto* green = AddChild(blue, "Green", SMargin(15, 15, -1, -1), SSize(20, 20));
    green->SetBackgroundColor(0x0000FF00u);  // reaches beyond its parent
    auto* veil = AddChild(&frame.root, "Veil", SMargin(5, 28, -1, -1), SSize(10, 10));
    veil->SetBackgroundColor(0x80000000u);  // black at alpha 1 - 128/255, over Blue's corner
    Pump();
    ASSERT_NE(Window()->lastFrame(), nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(Window()->lastFrame()), 120);
    EXPECT_EQ(PresentedPixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(PresentedPixel(16, 16), 0xFF0000FFu);
    EXPECT_EQ(PresentedPixel(40, 40), 0xFF00FF00u);
    // Beyond its parent the child is clipped away.
    EXPECT_EQ(PresentedPixel(50, 40), 0xFFFFFFFFu);
    // The later sibling is painted over the earlier one, blending.
    const uint32_t overWhite = PresentedPixel(9, 50);
    EXPECT_NEAR(static_cast<int>(overWhite & 0xFF), 128, 1);
    EXPECT_EQ(overWhite & 0xFF, (overWhite >> 16) & 0xFF);
    const uint32_t overBlue = PresentedPixel(18, 43);
    EXPECT_EQ(overBlue & 0xFFFF00u, 0u);
    EXPECT_NEAR(static_cast<int>(overBlue & 0xFF), 128, 1);
}

TEST_F(FrameTest, MirroredFramePlacesChildrenFromTheRight) {
    SFontTable::Instance().SetLanguage("ar-AE");
    frame.rightToLeft = 1;
    CreateFrame(100, 40);
    auto* box = AddChild(&frame.root, "Box", SMargin(10, 10, -1, -1), SSize(20, 20));
    box->SetBackgroundColor(0x000000FFu);
    Pump();
    EXPECT_EQ(PresentedPixel(15, 15), 0xFFFFFFFFu);
    EXPECT_EQ(PresentedPixel(75, 15), 0xFFFF0000u);
}

}  // namespace
}  // namespace ui_test
