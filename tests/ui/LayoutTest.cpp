// Layout rule, rectangle kinds, effective state and tree operations of SWindowBase.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/ISizeListener.h"
#include "ui/SFontTable.h"
#include "ui/SMainPanel.h"
#include "ui/SWindowAgent.h"

namespace ui_test {
namespace {

class LayoutTest : public UiTest {};

TEST_F(LayoutTest, AnchoredAndCentredAxes) {
    CreateFrame(200, 100);
    // The example of the layout rule: anchored left and right, centred vertically.
    auto* bar = AddChild(&frame.root, "Bar", SMargin(10, -1, 10, -1), SSize(0, 30));
    EXPECT_EQ(bar->GetRect(SWindowBase::kRectInParent, 0), SRect(10, 35, 190, 65));

    // Anchored on one side only: the own size counts.
    auto* right = AddChild(&frame.root, "Right", SMargin(-1, 5, 20, -1), SSize(40, 10));
    EXPECT_EQ(right->GetRect(SWindowBase::kRectInParent, 0), SRect(140, 5, 180, 15));

    // Anchored on both sides: the own size is ignored.
    auto* fill = AddChild(&frame.root, "Fill", SMargin(0, 0, 0, 0), SSize(5, 5));
    EXPECT_EQ(fill->GetRect(SWindowBase::kRectInParent, 0), SRect(0, 0, 200, 100));

    // Centred and wider than the parent: never at a negative x, also for odd differences.
    auto* wide = AddChild(&frame.root, "Wide", SMargin(-1, 0, -1, -1), SSize(250, 10));
    EXPECT_EQ(wide->GetRect(SWindowBase::kRectInParent, 0).left, 0);
    auto* wider = AddChild(&frame.root, "Wider", SMargin(-1, 0, -1, -1), SSize(201, 10));
    EXPECT_EQ(wider->GetRect(SWindowBase::kRectInParent, 0).left, 0);
    auto* centred = AddChild(&frame.root, "Centred", SMargin(-1, -1, -1, -1), SSize(50, 20));
    EXPECT_EQ(centred->GetRect(SWindowBase::kRectInParent, 0), SRect(75, 40, 125, 60));
}

TEST_F(LayoutTest, RightToLeftMirrorsInTheParent) {
    SFontTable::Instance().SetLanguage("he-IL");
    frame.rightToLeft = 1;
    CreateFrame(200, 100);
    auto* child = AddChild(&frame.root, "Child", SMargin(10, 0, -1, -1), SSize(50, 20));
    const SRect rect = child->GetRect(SWindowBase::kRectInParent, 0);
    EXPECT_EQ(rect.left, 140);
    EXPECT_EQ(rect.right, 190);
    // Local coordinates run from the widget's right edge.
    EXPECT_EQ(child->ClientToLocal(SPoint(185, 10)).x, 5);

    // The frame switch alone does not mirror.
    SFontTable::Instance().SetLanguage("en-US");
    EXPECT_EQ(child->GetRect(SWindowBase::kRectInParent, 0).left, 10);
}

// A window in a right-to-left language: a row's children change sides without any switch of
// the window's own, a subtree that keeps physical sides (pictures of a left and a right
// earbud with their batteries) stays as laid out, both in geometry and in what is drawn, and
// clicks inside it reach the same local points as in a left-to-right window.
TEST_F(LayoutTest, RightToLeftMirrorsRowsButNotASubtreeKeepingPhysicalSides) {
    SFontTable::Instance().SetLanguage("ar-AE");
    CreateFrame(200, 100);
    frame.root.SetBackgroundColor(0x00FFFFFFu);
    auto* row = AddChild(&frame.root, "Row", SMargin(0, 0, 0, -1), SSize(0, 40));
    auto* leading = AddChild(row, "Leading", SMargin(10, 0, -1, -1), SSize(50, 20));
    auto* trailing = AddChild(row, "Trailing", SMargin(-1, 0, 10, -1), SSize(30, 20));
    EXPECT_EQ(leading->GetRect(SWindowBase::kRectInParent, 0), SRect(140, 0, 190, 20));
    EXPECT_EQ(trailing->GetRect(SWindowBase::kRectInParent, 0), SRect(10, 0, 40, 20));

    auto* buds = AddChild(&frame.root, "Buds", SMargin(20, 50, -1, -1), SSize(120, 40));
    buds->SetKeepsPhysicalSides(1);
    auto* left = AddChild(buds, "LeftBud", SMargin(0, 0, -1, -1), SSize(30, 40));
    auto* right = AddChild(buds, "RightBud", SMargin(-1, 0, 0, -1), SSize(30, 40));
    auto* battery = AddChild(left, "LeftBattery", SMargin(0, 0, -1, -1), SSize(10, 10));
    left->SetBackgroundColor(0x000000FFu);   // red
    right->SetBackgroundColor(0x00FF0000u);  // blue
    // The subtree's own place is mirrored in its parent: 200 - 20 - 120 = 60.
    EXPECT_EQ(buds->GetRect(SWindowBase::kRectInParent, 0), SRect(60, 50, 180, 90));
    EXPECT_TRUE(row->IsRightToLeft());
    EXPECT_TRUE(buds->PlacedRightToLeft());
    EXPECT_FALSE(buds->IsRightToLeft());
    EXPECT_FALSE(battery->IsRightToLeft());
    // Inside it, left is left at every depth.
    EXPECT_EQ(left->GetRect(SWindowBase::kRectInFrame, 0), SRect(60, 50, 90, 90));
    EXPECT_EQ(right->GetRect(SWindowBase::kRectInFrame, 0), SRect(150, 50, 180, 90));
    EXPECT_EQ(battery->GetRect(SWindowBase::kRectInFrame, 0), SRect(60, 50, 70, 60));
    EXPECT_EQ(left->ClientToLocal(SPoint(65, 55)).x, 5);
    EXPECT_EQ(leading->ClientToLocal(SPoint(185, 5)).x, 5);

    // Drawn where the geometry says: red on the left, blue on the right.
    frame.root.Invalidate();
    Pump();
    EXPECT_EQ(PresentedPixel(75, 70) & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(PresentedPixel(165, 70) & 0xFFFFFFu, 0x0000FFu);
    SFontTable::Instance().SetLanguage("en-US");
}

// A card drawn from corner and edge pictures, which are not turned over in a mirrored
// window, looks the same there: its rounded corners and shadow stay on the outside.
TEST_F(LayoutTest, ACardOfSlicesLooksTheSameInAMirroredWindow) {
    CreateFrame(200, 100);
    frame.root.SetBackgroundColor(0x00FFFFFFu);
    SMainPanel card;
    card.LoadPopupSlices();
    ASSERT_EQ(card.Create("Card", &frame.root, SMargin(20, 10, 20, 10), SSize()), 1);
    auto pixels = [&] {
        frame.root.Invalidate();
        Pump();
        std::vector<uint32_t> all;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 200; ++x) {
                all.push_back(PresentedPixel(x, y));
            }
        }
        return all;
    };
    const std::vector<uint32_t> leftToRight = pixels();
    // The shadow and border are drawn: not all white.
    EXPECT_GT(std::count_if(leftToRight.begin(), leftToRight.end(),
                            [](uint32_t pixel) { return pixel != 0xFFFFFFFFu; }),
              100);
    SFontTable::Instance().SetLanguage("ar-AE");
    const std::vector<uint32_t> rightToLeft = pixels();
    SFontTable::Instance().SetLanguage("en-US");
    EXPECT_TRUE(leftToRight == rightToLeft);
    card.Destroy();
}

TEST_F(LayoutTest, RectangleKindsAtAZoomFactor) {
    CreateFrame(300, 300, 1, 1.5);
    ASSERT_DOUBLE_EQ(frame.zoom, 1.5);
    EXPECT_EQ(frame.logicalSize, SSize(200, 200));
    auto* panel = AddChild(&frame.root, "Panel", SMargin(10, 20, -1, -1), SSize(100, 50));
    auto* child = AddChild(panel, "Child", SMargin(5, 5, -1, -1), SSize(10.3, 10));

    EXPECT_EQ(child->GetRect(SWindowBase::kRectOwnLogical, 0), SRect(0, 0, 10.3, 10));
    EXPECT_EQ(child->GetRect(SWindowBase::kRectOwnScaled, 0), SRect(0, 0, 10.3 * 1.5, 15));
    EXPECT_EQ(child->GetRect(SWindowBase::kRectInParent, 0), SRect(5, 5, 15.3, 15));
    const SRect inFrame = child->GetRect(SWindowBase::kRectInFrame, 0);
    EXPECT_DOUBLE_EQ(inFrame.left, (10 + 5) * 1.5);
    EXPECT_DOUBLE_EQ(inFrame.top, (20 + 5) * 1.5);
    EXPECT_DOUBLE_EQ(inFrame.right, (10 + 15.3) * 1.5);
    // On screen: the frame's window sits at (100, 50).
    EXPECT_EQ(child->GetRect(SWindowBase::kRectOnScreen, 0), inFrame.Offset(100, 50));

    // A widget with a layer of its own is snapped to whole pixels: left and top cut, right and
    // bottom rounded.
    child->SetOwnLayer(1);
    EXPECT_EQ(child->GetRect(SWindowBase::kRectInFrame, 0), SRect(22, 37, 38, 53));
    // Local coordinates divide by the zoom.
    child->SetOwnLayer(0);
    const SPoint local = child->ClientToLocal(SPoint(22.5 + 3, 37.5 + 6));
    EXPECT_DOUBLE_EQ(local.x, 2);
    EXPECT_DOUBLE_EQ(local.y, 4);
}

TEST_F(LayoutTest, EffectiveVisibilityAndEnabledState) {
    CreateFrame(200, 100);
    auto* parent = AddChild(&frame.root, "Parent", SMargin(0, 0, 0, 0), SSize(), 0);
    auto* child = AddChild(parent, "Child", SMargin(0, 0, 0, 0), SSize(), 0);
    Pump();
    const int paintsBefore = frame.agent.GetPaintCount();

    // Shown under a hidden parent: stored, not effective, no repaint asked for.
    child->SetVisible(1);
    EXPECT_EQ(child->GetOwnVisible(), 1);
    EXPECT_EQ(child->GetVisible(), 0);
    EXPECT_EQ(frame.agent.GetPendingPaint(), nullptr);
    Pump();
    EXPECT_EQ(frame.agent.GetPaintCount(), paintsBefore);

    parent->SetVisible(1);
    EXPECT_EQ(child->GetVisible(), 1);
    // A suspended widget counts as hidden.
    parent->SetSuspended(1);
    EXPECT_EQ(child->GetVisible(), 0);
    parent->SetSuspended(0);

    // A widget under no root is never visible.
    RecordingWidget loose(&log);
    EXPECT_EQ(loose.Create("Loose", nullptr, nullptr, SSize()), 0);
    EXPECT_EQ(loose.GetVisible(), 0);

    parent->SetEnabled(0);
    EXPECT_EQ(child->GetOwnEnabled(), 1);
    EXPECT_EQ(child->GetEnabled(), 0);
    parent->SetEnabled(1);
    EXPECT_EQ(child->GetEnabled(), 1);
}

TEST_F(LayoutTest, HidingRepaintsWhatWasUnderTheWidget) {
    CreateFrame(40, 40);
    auto* box = AddChild(&frame.root, "Box", SMargin(10, 10, -1, -1), SSize(20, 20));
    box->SetBackgroundColor(0x000000FFu);  // red
    Pump();
    ASSERT_EQ(PresentedPixel(15, 15), 0xFFFF0000u);
    box->SetVisible(0);
    Pump();
    EXPECT_EQ(PresentedPixel(15, 15), 0xFFFFFFFFu);
}

TEST_F(LayoutTest, FirstShowAndVisibilityPropagation) {
    CreateFrame(100, 100);
    auto* parent = AddChild(&frame.root, "Parent", SMargin(0, 0, 0, 0), SSize(), 0);
    AddChild(parent, "Child", SMargin(0, 0, 0, 0), SSize(), 0);
    log.clear();
    parent->SetVisible(1);
    // The change travels down the subtree: children first, then the widget itself, once.
    EXPECT_EQ(log, (std::vector<std::string>{"Child:firstshow", "Parent:firstshow"}));
    parent->SetVisible(0);
    parent->SetVisible(1);
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(LayoutTest, TreeOperations) {
    CreateFrame(100, 100);
    auto* parent = AddChild(&frame.root, "Parent", SMargin(0, 0, 0, 0), SSize());
    auto* child = AddChild(parent, "Child", SMargin(0, 0, 0, 0), SSize());
    EXPECT_EQ(frame.root.FindChild("Parent"), parent);
    EXPECT_EQ(frame.root.FindChild("Child"), nullptr);   // no recursive search
    EXPECT_EQ(frame.root.FindChild("parent"), nullptr);  // case-sensitive
    EXPECT_EQ(parent->FindChild("Child"), child);
    EXPECT_EQ(child->GetAgent(), &frame.agent);

    // Destroy unlinks the subtree; a second Destroy is refused.
    child->SetFocus();
    EXPECT_EQ(frame.agent.GetFocus(), child);
    EXPECT_EQ(parent->Destroy(), 1);
    EXPECT_EQ(frame.root.FindChild("Parent"), nullptr);
    EXPECT_EQ(frame.agent.GetFocus(), nullptr);
    EXPECT_EQ(child->IsCreated(), 0);
    EXPECT_EQ(parent->Destroy(), 0);
}

TEST_F(LayoutTest, ResizeReachesFlushChildrenOnly) {
    CreateFrame(100, 100);
    AddChild(&frame.root, "Flush", SMargin(0, 5, 0, -1), SSize(0, 10));
    AddChild(&frame.root, "Inset", SMargin(2, 2, 2, 2), SSize());
    log.clear();
    backend.injectResize(WindowId(), 120, 80);
    Pump();
    EXPECT_EQ(frame.logicalSize, SSize(120, 80));
    EXPECT_EQ(log, (std::vector<std::string>{"Root:size 120,80", "Flush:size 120,80"}));
    EXPECT_EQ(frame.root.FindChild("Inset")->GetRect(SWindowBase::kRectInParent, 0),
              SRect(2, 2, 118, 78));
}

TEST_F(LayoutTest, SetSizeTellsTheListenerInWholeUnits) {
    struct Listener : ISizeListener {
        void OnWidgetSizeChanged(SWindowBase*, int w, int h) override {
            width = w;
            height = h;
            ++calls;
        }
        int width = 0;
        int height = 0;
        int calls = 0;
    } listener;
    CreateFrame(100, 100);
    auto* widget = AddChild(&frame.root, "W", SMargin(0, 0, -1, -1), SSize(10, 10));
    widget->SetSizeListener(&listener);
    widget->SetSize(SSize(20.7, 30.2));
    widget->SetSize(SSize(20.7, 30.2));
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(listener.width, 20);
    EXPECT_EQ(listener.height, 30);
}

// A parent that stacks its children vertically, 12 units apart.
class StackPanel : public SPanel {
public:
    int StacksChildren() override { return 1; }
    double ChildStackOffset(SWindowBase* child) override {
        const auto& list = GetChildren();
        return 12.0 *
               static_cast<double>(std::find(list.begin(), list.end(), child) - list.begin());
    }
};

TEST_F(LayoutTest, StackingParentPlacesItsChildren) {
    CreateFrame(100, 100);
    StackPanel stack;
    stack.Create("Stack", &frame.root, SMargin(0, 0, 0, 0), SSize());
    auto* first = AddChild(&stack, "First", SMargin(0, 50, 0, -1), SSize(0, 10));
    auto* second = AddChild(&stack, "Second", SMargin(0, 50, 0, -1), SSize(0, 10));
    EXPECT_EQ(first->GetRect(SWindowBase::kRectInParent, 0), SRect(0, 0, 100, 10));
    EXPECT_EQ(second->GetRect(SWindowBase::kRectInParent, 0), SRect(0, 12, 100, 22));
    stack.Destroy();
}

TEST(GeometryText, InspectorForms) {
    EXPECT_EQ(SSize(1, 2.5).ToString(), "(W,H)=(1.000,2.500)");
    EXPECT_EQ(SRect(1, 2, 11, 22).ToString(), "(L,T,R,B)=(1.000,2.000,11.000,22.000)");
    EXPECT_EQ(SRect(1, 2, 11, 22).ToStringLTWH(), "(L,T,W,H)=(1.000,2.000,10.000,20.000)");
    EXPECT_EQ(SMargin(-1, 0, 3.25, -1).ToString(), "(L,T,R,B)=(-1.000,0.000,3.250,-1.000)");
}

}  // namespace
}  // namespace ui_test
