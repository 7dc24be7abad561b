// The widget inspector: the command-line switch, the property texts, hover reports, the
// highlight on the presented picture, attachment of frames and clean detachment when either
// side goes first.

#include <gtest/gtest.h>

#include "tests/ui/UiTestSupport.h"
#include "ui/SCommandLine.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SLabel.h"
#include "ui/SWindowBaseFinderFrame.h"
#include "ui/SWindowBaseFinderPropSheet.h"
#include "ui/SWindowBasePropPage.h"

namespace ui_test {
namespace {

using Row = SWindowBasePropPage::Row;

// ---------------------------------------------------------------- the switch

TEST(CommandLine, SwitchIsAPlainSubstringOfAnyArgumentButTheProgramPath) {
    const char* pathOnly[] = {"/opt/windowbasefinder/AuralisManager"};
    SCommandLine::Set(1, pathOnly);
    EXPECT_FALSE(SCommandLine::Contains("/windowbasefinder"));

    const char* embedded[] = {"AuralisManager", "-v", "x/windowbasefinderY", nullptr};
    SCommandLine::Set(4, embedded);
    EXPECT_TRUE(SCommandLine::Contains("/windowbasefinder"));
    // Has matches whole arguments only, never the program path.
    EXPECT_TRUE(SCommandLine::Has("-v"));
    EXPECT_FALSE(SCommandLine::Has("-"));
    EXPECT_FALSE(SCommandLine::Has("AuralisManager"));
    EXPECT_EQ(SCommandLine::GetArguments(),
              (std::vector<std::string>{"-v", "x/windowbasefinderY"}));

    const char* plain[] = {"AuralisManager", "/windowbasefinder"};
    SCommandLine::Set(2, plain);
    EXPECT_TRUE(SCommandLine::Contains("/windowbasefinder"));

    // Case matters, the switch does not span two arguments, and nothing matches empty text.
    SCommandLine::SetArguments({"/WindowBaseFinder", "/window", "basefinder"});
    EXPECT_FALSE(SCommandLine::Contains("/windowbasefinder"));
    EXPECT_FALSE(SCommandLine::Contains(""));
    SCommandLine::Set(0, nullptr);
    EXPECT_TRUE(SCommandLine::GetArguments().empty());
}

// ---------------------------------------------------------------- fixture

class WindowBaseFinderTest : public UiTest {
protected:
    void SetUp() override { SCommandLine::SetArguments({"-x", "/windowbasefinder"}); }
    void TearDown() override { SCommandLine::SetArguments({}); }

    SWindowBaseFinderFrame* Open(SWindowFrame& top) {
        SWindowBaseFinderFrame* inspector = SWindowBaseFinderFrame::ShowFor(top);
        Pump();
        return inspector;
    }
    void Hover(SWindowFrame& target, int x, int y) {
        backend.injectMouseMove(target.GetWindow()->id(), x, y);
        Pump();
    }
    // A second frame of the chain (owner = the test frame) or of another chain.
    void CreateSecond(TestFrame& second, SWindowFrame* owner) {
        second.log = &log;
        SFrameOptions options;
        options.title = "Second";
        options.rect = SRect(300, 300, 400, 400);
        options.owner = owner;
        ASSERT_EQ(second.Create(options), 1);
        second.Show();
        Pump();
    }
    static uint32_t DcPixel(SWindowFrame& target, int x, int y) {
        return SurfacePixel(target.agent.GetDC()->GetSurface(), x, y);
    }
    static std::string ShownValue(SWindowBasePropPage& page, std::size_t row) {
        const auto& rows = page.GetShownRows();
        return row < rows.size() ? rows[row].value : std::string("<none>");
    }
};

constexpr uint32_t kRed = 0xFFFF0000u;  // 0xAARRGGBB as presented

// ---------------------------------------------------------------- texts

TEST_F(WindowBaseFinderTest, DescribesClassNameGeometryAndParents) {
    CreateFrame(200, 200, 1, 1.5);
    auto* child = AddChild(&frame.root, "Child", SMargin(10, 20, -1, -1), SSize(30, 40));
    SLabel label("text");
    label.Create("", child, SMargin(-1, -1, -1, -1), SSize(10, 8));

    const std::vector<Row> rows = SWindowBaseFinderPropSheet::DescribeWidget(*child, &frame);
    ASSERT_EQ(rows.size(), SWindowBaseFinderPropSheet::kWidgetRows);
    EXPECT_EQ(rows[0].value, "ui_test::RecordingWidget (SPanel)");
    EXPECT_EQ(rows[1].value, "\"Child\"");
    EXPECT_EQ(rows[2].value, "(L,T,R,B)=(10.000,20.000,-1.000,-1.000)");
    EXPECT_EQ(rows[3].value, "(W,H)=(30.000,40.000)");
    EXPECT_EQ(rows[4].value, "(L,T,W,H)=(10.000,20.000,30.000,40.000)");
    EXPECT_EQ(rows[5].value, "(L,T,W,H)=(15.000,30.000,45.000,60.000)");  // pixels at zoom 1.5
    EXPECT_EQ(rows[7].value, "(untitled)  zoom 1.500");

    // A class that reports its own name shows it once; an unnamed widget says so.
    EXPECT_EQ(SWindowBaseFinderPropSheet::ClassNameOf(label), "SLabel");
    EXPECT_EQ(SWindowBaseFinderPropSheet::DescribeWidget(label, &frame)[1].value, "(unnamed)");

    const std::vector<Row> parents = SWindowBaseFinderPropSheet::DescribeParents(label);
    ASSERT_EQ(parents.size(), 2u);
    EXPECT_EQ(parents[0].value, "\"Child\"  (L,T,W,H)=(10.000,20.000,30.000,40.000)");
    EXPECT_EQ(parents[1].value.substr(0, 8), "\"Root\"  ");
    EXPECT_TRUE(SWindowBaseFinderPropSheet::DescribeParents(frame.root).empty());
}

TEST_F(WindowBaseFinderTest, PageSumsUpRowsBeyondItsCapacity) {
    CreateFrame(300, 300);
    SWindowBasePropPage page("Test", 3);
    page.SetPlaceholder("nothing");
    page.Create("Page", &frame.root, SMargin(0, 0, 0, -1), SSize(0, page.GetPreferredHeight()));
    EXPECT_EQ(page.GetShownRows().size(), 1u);
    EXPECT_EQ(ShownValue(page, 0), "nothing");

    page.SetRows({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    EXPECT_EQ(page.GetShownRows().size(), 3u);
    EXPECT_EQ(ShownValue(page, 2), "3");

    page.SetRows({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}});
    ASSERT_EQ(page.GetShownRows().size(), 3u);
    EXPECT_EQ(ShownValue(page, 1), "2");
    EXPECT_EQ(ShownValue(page, 2), "3 more");  // c, d and e
    page.Destroy();
}

// ---------------------------------------------------------------- hover and highlight

TEST_F(WindowBaseFinderTest, HoverChangesReachTheInspectorAndItsPages) {
    CreateFrame(200, 200);
    auto* a = AddChild(&frame.root, "A", SMargin(10, 10, -1, -1), SSize(50, 50));
    auto* b = AddChild(&frame.root, "B", SMargin(100, 10, -1, -1), SSize(50, 50));
    SWindowBaseFinderFrame* inspector = Open(frame);
    ASSERT_NE(inspector, nullptr);
    SWindowBasePropPage& page = inspector->GetContent().GetSheet().GetWidgetPage();

    Hover(frame, 20, 20);
    EXPECT_EQ(inspector->GetInspected(), a);
    EXPECT_EQ(inspector->GetInspectedFrame(), &frame);
    EXPECT_EQ(ShownValue(page, 1), "\"A\"");
    Hover(frame, 120, 20);
    EXPECT_EQ(inspector->GetInspected(), b);
    EXPECT_EQ(ShownValue(page, 1), "\"B\"");
    EXPECT_EQ(ShownValue(inspector->GetContent().GetSheet().GetParentsPage(), 0).substr(0, 6),
              "\"Root\"");

    // Leaving the window keeps the texts for reading but lets go of the widget.
    backend.injectMouseLeave(WindowId());
    Pump();
    EXPECT_EQ(inspector->GetInspected(), nullptr);
    EXPECT_EQ(ShownValue(page, 1), "\"B\"");
    EXPECT_EQ(inspector->GetContent().GetSubtitle().rfind("Last hovered", 0), 0u);
}

TEST_F(WindowBaseFinderTest, HighlightIsDrawnOnThePresentedCopyOnlyWhileAttachedAndShown) {
    CreateFrame(200, 200);
    auto* red = AddChild(&frame.root, "Red", SMargin(40, 60, -1, -1), SSize(80, 80));
    red->SetBackgroundColor(0x000000FFu);
    AddChild(&frame.root, "Other", SMargin(150, 10, -1, -1), SSize(40, 40));
    Pump();
    EXPECT_EQ(PresentedPixel(41, 100), kRed);

    SWindowBaseFinderFrame* inspector = Open(frame);
    Hover(frame, 80, 100);
    EXPECT_NE(PresentedPixel(41, 100), kRed);  // the outline
    EXPECT_NE(PresentedPixel(80, 100), kRed);  // the wash
    EXPECT_EQ(PresentedPixel(196, 196), 0xFFFFFFFFu);
    EXPECT_EQ(DcPixel(frame, 41, 100), kRed);  // the frame's own picture stays clean

    // Hidden (its window closed), the inspector draws nothing; shown again, it does.
    backend.injectCloseRequest(inspector->GetWindow()->id());
    Pump();
    EXPECT_TRUE(inspector->IsWindow());
    EXPECT_FALSE(inspector->GetWindow()->isVisible());
    EXPECT_EQ(PresentedPixel(41, 100), kRed);
    EXPECT_EQ(SWindowBaseFinderFrame::ShowFor(frame), inspector);
    Pump();
    EXPECT_NE(PresentedPixel(41, 100), kRed);

    // Moving to another widget moves the highlight with it.
    Hover(frame, 160, 20);
    EXPECT_EQ(PresentedPixel(41, 100), kRed);
    EXPECT_NE(PresentedPixel(151, 30), 0xFFFFFFFFu);

    // Detached, nothing is drawn even with the pointer on the widget.
    Hover(frame, 80, 100);
    inspector->Detach(frame);
    Pump();
    EXPECT_EQ(PresentedPixel(41, 100), kRed);
    EXPECT_EQ(frame.agent.drawFilter, nullptr);
}

// ---------------------------------------------------------------- attachment

TEST_F(WindowBaseFinderTest, FramesOfTheChainAttachOnCreationWhileTheSwitchIsOn) {
    CreateFrame(100, 100);
    TestFrame before;
    CreateSecond(before, &frame);
    EXPECT_EQ(before.inspectorAttached, 0);  // no inspector yet

    SWindowBaseFinderFrame* inspector = Open(frame);
    ASSERT_NE(inspector, nullptr);
    EXPECT_EQ(frame.inspectorAttached, 1);
    EXPECT_EQ(before.inspectorAttached, 1);  // existing frames of the chain join at once
    EXPECT_EQ(frame.agent.hoverListener, inspector);
    EXPECT_EQ(inspector->inspectorAttached, 0);  // never inspects itself
    EXPECT_EQ(inspector->agent.hoverListener, nullptr);

    TestFrame owned;
    CreateSecond(owned, &before);  // owner chain: owned -> before -> frame
    EXPECT_EQ(owned.inspectorAttached, 1);
    EXPECT_EQ(owned.agent.hoverListener, inspector);

    TestFrame stranger;
    CreateSecond(stranger, nullptr);
    EXPECT_EQ(stranger.inspectorAttached, 0);

    SCommandLine::SetArguments({"--other"});
    TestFrame withoutSwitch;
    CreateSecond(withoutSwitch, &frame);
    EXPECT_EQ(withoutSwitch.inspectorAttached, 0);
    EXPECT_EQ(inspector->GetAttached().size(), 3u);
}

TEST_F(WindowBaseFinderTest, CreatedOnceCentredAndShownAgain) {
    CreateFrame(100, 100);
    backend.setDisplayBounds(platform::window::Rect{0, 0, 1600, 1000});
    SWindowBaseFinderFrame* inspector = Open(frame);
    ASSERT_NE(inspector, nullptr);
    EXPECT_EQ(inspector->GetTitle(), "WindowBase Finder");
    const platform::window::Rect rect = inspector->GetWindow()->screenRect();
    EXPECT_EQ(rect.x, (1600 - rect.width) / 2);
    EXPECT_EQ(rect.y, (1000 - rect.height) / 2);
    EXPECT_TRUE(inspector->GetWindow()->isVisible());
    const auto id = inspector->GetWindow()->id();

    inspector->Hide();
    EXPECT_EQ(Open(frame), inspector);
    EXPECT_EQ(inspector->GetWindow()->id(), id);  // the same window, shown again
    EXPECT_TRUE(inspector->GetWindow()->isVisible());
    EXPECT_EQ(inspector->GetAttached().size(), 1u);

    // An owned frame leads to the same inspector; an inspector gets none of its own.
    TestFrame owned;
    CreateSecond(owned, &frame);
    EXPECT_EQ(Open(owned), inspector);
    EXPECT_EQ(SWindowBaseFinderFrame::ShowFor(*inspector), nullptr);
    TestFrame windowless;
    EXPECT_EQ(SWindowBaseFinderFrame::ShowFor(windowless), nullptr);
    EXPECT_EQ(SWindowBaseFinderFrame::Find(&windowless), nullptr);
}

// ---------------------------------------------------------------- detachment

TEST_F(WindowBaseFinderTest, DestroyingTheInspectorDetachesEveryFrame) {
    CreateFrame(200, 200);
    AddChild(&frame.root, "A", SMargin(10, 10, -1, -1), SSize(50, 50));
    TestFrame owned;
    CreateSecond(owned, &frame);
    SWindowBaseFinderFrame* inspector = Open(frame);
    Hover(frame, 20, 20);

    inspector->Destroy();  // its window only: the object stays for ShowFor
    Pump();
    for (SWindowFrame* f :
         {static_cast<SWindowFrame*>(&frame), static_cast<SWindowFrame*>(&owned)}) {
        EXPECT_EQ(f->inspectorAttached, 0);
        EXPECT_EQ(f->agent.hoverListener, nullptr);
        EXPECT_EQ(f->agent.drawFilter, nullptr);
        EXPECT_EQ(f->agent.GetDC()->drawFilter, nullptr);
    }
    Hover(frame, 120, 120);
    Hover(frame, 20, 20);

    // Shown again, it attaches again; freed, nothing points at it.
    EXPECT_EQ(Open(frame), inspector);
    EXPECT_EQ(owned.inspectorAttached, 1);
    SWindowBaseFinderFrame::DestroyFor(owned);
    EXPECT_EQ(SWindowBaseFinderFrame::Find(&frame), nullptr);
    EXPECT_EQ(frame.agent.hoverListener, nullptr);
    EXPECT_EQ(owned.agent.drawFilter, nullptr);
    Hover(frame, 120, 120);
    Hover(owned, 10, 10);
}

TEST_F(WindowBaseFinderTest, DestroyingAnInspectedFrameOrWidgetLeavesNothingDangling) {
    CreateFrame(200, 200);
    SWindowBaseFinderFrame* inspector = Open(frame);
    {
        TestFrame owned;
        CreateSecond(owned, &frame);
        auto* inner = AddChild(&owned.root, "Inner", SMargin(10, 10, -1, -1), SSize(40, 40));
        Hover(owned, 20, 20);
        EXPECT_EQ(inspector->GetInspected(), inner);
        owned.Destroy();
        EXPECT_FALSE(inspector->IsAttached(owned));
        EXPECT_EQ(inspector->GetInspectedFrame(), nullptr);
    }
    Pump();

    // The hovered widget itself goes while its frame stays.
    auto* doomed = AddChild(&frame.root, "Doomed", SMargin(10, 10, -1, -1), SSize(40, 40));
    Hover(frame, 20, 20);
    EXPECT_EQ(inspector->GetInspected(), doomed);
    doomed->Destroy();
    widgets.clear();
    EXPECT_EQ(inspector->GetInspected(), nullptr);
    frame.root.Invalidate();
    Pump();  // presents through the filter with the widget gone

    // The top frame goes: its inspector goes with it.
    frame.Destroy();
    EXPECT_EQ(SWindowBaseFinderFrame::Find(&frame), nullptr);
}

// A top frame that keeps its inspector's pointer, as the main window does.
class KeepingFrame : public TestFrame {
public:
    void WindowBaseFinderDestroyed(SWindowBaseFinderFrame* finder) override {
        if (finder == finder_) {
            finder_ = nullptr;
        }
    }
    SWindowBaseFinderFrame* finder_ = nullptr;
};

TEST_F(WindowBaseFinderTest, TopFrameHearsWhenItsInspectorIsFreed) {
    for (bool explicitly : {true, false}) {
        KeepingFrame top;
        CreateSecond(top, nullptr);
        top.finder_ = Open(top);
        ASSERT_NE(top.finder_, nullptr);
        if (explicitly) {
            SWindowBaseFinderFrame::DestroyFor(top);
        } else {
            top.Destroy();
        }
        EXPECT_EQ(top.finder_, nullptr);
        EXPECT_EQ(SWindowBaseFinderFrame::Find(&top), nullptr);
    }
}

}  // namespace
}  // namespace ui_test
