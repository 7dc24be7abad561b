// Scrolling views: content extent, scroll bars, the wheel accumulator and pinned children.

#include <gtest/gtest.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/SCustomSView.h"
#include "ui/SScrollBarBase.h"
#include "ui/SSeeThroughScrollBarFactory.h"
#include "ui/SView.h"

namespace ui_test {
namespace {

class ViewTest : public UiTest {
protected:
    void MakeView(SView& view, const SSize& content) {
        CreateFrame(200, 100);
        container = AddChild(&frame.root, "Container", SMargin(0, 0, 0, 0), SSize());
        container->wheelResult = 1;
        view.Create("View", container, SMargin(0, 0, 0, 0), SSize());
        view.SetContentSize(content);
        Pump();
        log.clear();
    }
    RecordingWidget* container = nullptr;
};

TEST_F(ViewTest, BarsAppearWhenTheContentExceedsTheClientArea) {
    SView view;
    MakeView(view, SSize(150, 100));
    EXPECT_EQ(view.GetVerticalBar()->GetOwnVisible(), 0);
    EXPECT_EQ(view.GetHorizontalBar()->GetOwnVisible(), 0);
    view.SetContentSize(SSize(150, 400));
    EXPECT_EQ(view.GetVerticalBar()->GetOwnVisible(), 1);
    EXPECT_EQ(view.GetHorizontalBar()->GetOwnVisible(), 0);
    EXPECT_EQ(view.GetVerticalBar()->GetMaxPosition(), 300);
    // The vertical bar sits at the right edge inside the padding.
    view.SetPadding(SMargin(0, 4, 6, 4));
    const SRect bar = view.GetVerticalBar()->GetRect(SWindowBase::kRectInParent, 0);
    EXPECT_EQ(bar.right, 194);
    EXPECT_EQ(bar.top, 4);
    EXPECT_EQ(view.GetClientRect(SWindowBase::kRectOwnLogical), SRect(0, 4, 194, 96));
    view.Destroy();
}

TEST_F(ViewTest, WheelNotchesScrollByLinesAndTheViewConsumesThem) {
    SView view;
    MakeView(view, SSize(200, 1000));
    for (int notch = 1; notch <= 3; ++notch) {
        backend.injectWheel(WindowId(), 50, 50, -120);
        Pump();
        EXPECT_EQ(view.GetScrollOffset().y, 75 * notch);
    }
    EXPECT_TRUE(log.empty());  // never bubbles to the container
    backend.injectWheel(WindowId(), 50, 50, 120);
    Pump();
    EXPECT_EQ(view.GetScrollOffset().y, 150);
    // The bar clamps at both ends.
    backend.injectWheel(WindowId(), 50, 50, 120 * 10);
    Pump();
    EXPECT_EQ(view.GetScrollOffset().y, 0);
    backend.injectWheel(WindowId(), 50, 50, -120 * 100);
    Pump();
    EXPECT_EQ(view.GetScrollOffset().y, 900);
    view.Destroy();
}

TEST_F(ViewTest, WheelAccumulatorAddsOneDirectionAndRestartsOnReversal) {
    backend.setWheelScrollLines(0);  // no scrolling: the accumulator alone is visible
    SView view;
    MakeView(view, SSize(200, 1000));
    backend.injectWheel(WindowId(), 50, 50, -40);
    backend.injectWheel(WindowId(), 50, 50, -40);
    Pump();
    EXPECT_EQ(view.GetWheelAccumulator(), -80);
    backend.injectWheel(WindowId(), 50, 50, 30);  // a reversal discards the remainder
    Pump();
    EXPECT_EQ(view.GetWheelAccumulator(), 30);
    EXPECT_EQ(view.GetScrollOffset().y, 0);

    // With lines set, a step resets the accumulator: small deltas scroll by their share.
    backend.setWheelScrollLines(3);
    backend.injectWheel(WindowId(), 50, 50, -30);  // (-(-30) x 75) / 120 = 18.75 -> 19
    Pump();
    EXPECT_EQ(view.GetWheelAccumulator(), 0);
    EXPECT_EQ(view.GetScrollOffset().y, 19);
    view.Destroy();
}

TEST_F(ViewTest, ScrolledChildrenMoveAndPinnedChildrenStay) {
    SView view;
    MakeView(view, SSize(200, 1000));
    auto* item = AddChild(&view, "Item", SMargin(0, 120, 0, -1), SSize(0, 30));
    auto* pinned = AddChild(&view, "Pinned", SMargin(0, 0, -1, -1), SSize(20, 20), 1, 1);
    // A non-fixed child is laid out in the content, a fixed one in the view.
    auto* bottom = AddChild(&view, "Bottom", SMargin(0, -1, 0, 0), SSize(0, 10));
    EXPECT_EQ(bottom->GetRect(SWindowBase::kRectInParent, 0).top, 990);
    view.ScrollTo(-1, 100);
    EXPECT_EQ(view.GetScrollOffset().y, 100);
    EXPECT_EQ(item->GetRect(SWindowBase::kRectInParent, 0), SRect(0, 20, 200, 50));
    EXPECT_EQ(pinned->GetRect(SWindowBase::kRectInParent, 0), SRect(0, 0, 20, 20));
    // Hit testing follows the scrolled position; the pinned child is on top.
    EXPECT_EQ(frame.root.HitTest(SMouseEventArgs(100, 30), 0), item);
    EXPECT_EQ(frame.root.HitTest(SMouseEventArgs(10, 10), 0), pinned);
    EXPECT_EQ(view.FindChild("Item"), item);
    view.Destroy();
}

TEST_F(ViewTest, DraggingTheThumbScrolls) {
    SView view;
    MakeView(view, SSize(200, 400));  // visible 100 of 400: thumb 25 long, travel 75
    SScrollBarBase* bar = view.GetVerticalBar();
    const SRect rect = bar->GetRect(SWindowBase::kRectInFrame, 0);
    const int x = static_cast<int>(rect.left + 2);
    backend.injectButtonDown(WindowId(), x, 5);
    backend.injectMouseMove(WindowId(), x, 5 + 25);
    Pump();
    EXPECT_EQ(view.GetScrollOffset().y, 100);     // a third of the travel, a third of 300
    backend.injectMouseMove(WindowId(), x, 300);  // outside the window, still captured
    backend.injectButtonUp(WindowId(), x, 300);
    Pump();
    EXPECT_EQ(view.GetScrollOffset().y, 300);
    EXPECT_EQ(frame.agent.GetCaptured(), nullptr);
    // A press on the track below the thumb pages down... and is clamped.
    bar->SetPosition(0);
    backend.injectButtonDown(WindowId(), x, 90);
    backend.injectButtonUp(WindowId(), x, 90);
    Pump();
    EXPECT_EQ(view.GetScrollOffset().y, 100);
    view.Destroy();
}

TEST_F(ViewTest, ShrinkingContentClampsTheOffset) {
    SView view;
    MakeView(view, SSize(200, 1000));
    view.ScrollTo(-1, 800);
    view.SetContentSize(SSize(200, 300));
    EXPECT_EQ(view.GetScrollOffset().y, 200);
    view.SetContentSize(SSize(200, 50));
    EXPECT_EQ(view.GetScrollOffset().y, 0);
    EXPECT_EQ(view.GetVerticalBar()->GetOwnVisible(), 0);
    view.Destroy();
}

TEST_F(ViewTest, FactoryChoosesTheBarsAndCustomViewsGrowWithTheirChildren) {
    SCustomSView view;
    view.SetScrollBarFactory(std::make_unique<SSeeThroughScrollBarFactory>());
    MakeView(view, SSize());
    EXPECT_STREQ(view.GetVerticalBar()->GetClassName(), "SSeeThroughScrollBar");
    EXPECT_STREQ(view.GetClassName(), "SCustomSView");
    for (int i = 0; i < 10; ++i) {
        AddChild(&view, "Row" + std::to_string(i), SMargin(0, i * 30, 0, -1), SSize(0, 30));
    }
    view.ArrangeChildren();
    EXPECT_EQ(view.GetContentExtent(), SSize(200, 300));
    EXPECT_EQ(view.GetVerticalBar()->GetOwnVisible(), 1);
    view.Destroy();
}

}  // namespace
}  // namespace ui_test
