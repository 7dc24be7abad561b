// Tooltips: the show delay, the window appearing by the pointer, the hide timer, a tooltip
// left before its delay never showing, the panels by kind and the bubble's placement.

#include <gtest/gtest.h>

#include "platform/TickCount.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SAutoToolTipContent.h"
#include "ui/SCommonToolTipContent.h"
#include "ui/SShadowTooltipPanel.h"
#include "ui/SToolTipWindow.h"

namespace ui_test {
namespace {

class ToolTipTest : public UiTest {
protected:
    void SetUp() override {
        CreateFrame(300, 200);  // at (100, 50) on the screen
        ASSERT_NE(SToolTipWindow::Install(), nullptr);
        tooltip = SToolTipWindow::GetInstance();
        widget = AddChild(&frame.root, "Battery", SMargin(100, 80, -1, -1), SSize(60, 30));
    }
    ~ToolTipTest() override { SToolTipWindow::Uninstall(); }

    void AdvanceTo(uint64_t ms) {
        while (clock.now() < start + ms) {
            clock.advance(1);
            Pump();
        }
    }

    platform::ManualTickSource clock;
    const uint64_t start = clock.now();
    SToolTipWindow* tooltip = nullptr;
    RecordingWidget* widget = nullptr;
};

TEST_F(ToolTipTest, ShowsAfterItsDelayByThePointerAndHidesAfterLeaving) {
    widget->SetToolTip(std::make_unique<SCommonToolTipContent>("Left earbud: 80 %"));
    EXPECT_EQ(IToolTipHost::Get(), tooltip);
    backend.injectMouseMove(WindowId(), 130, 95);
    Pump();
    ASSERT_NE(tooltip->GetCurrentPanel(), nullptr);
    EXPECT_EQ(tooltip->GetCurrentPanel()->GetName(), "SShadowTooltipPanel");
    AdvanceTo(499);
    EXPECT_FALSE(tooltip->IsShown());
    AdvanceTo(500);  // placed now, shown 10 ms later
    EXPECT_FALSE(tooltip->IsShown());
    EXPECT_EQ(tooltip->GetCurrentPanel()->GetOwnVisible(), 1);
    AdvanceTo(510);
    EXPECT_TRUE(tooltip->IsShown());
    EXPECT_EQ(backend.window(tooltip->GetWindow()->id())->title(), "ToolTip");

    // The bubble sits above the pointer (230, 145 on the screen), its tail's middle under it.
    const platform::window::Rect rect = tooltip->GetWindow()->screenRect();
    EXPECT_LT(rect.y + rect.height, 145);
    EXPECT_GT(rect.y + rect.height, 135);
    EXPECT_NEAR(rect.x + rect.width / 2.0, 230, 1.0);

    backend.injectMouseMove(WindowId(), 20, 20);
    Pump();
    AdvanceTo(519);
    EXPECT_TRUE(tooltip->IsShown());
    AdvanceTo(521);  // the hide delay of 10 ms
    EXPECT_FALSE(tooltip->IsShown());
    EXPECT_EQ(tooltip->GetCurrentPanel(), nullptr);
}

// Around the bubble and its tail the window shows what lies behind it; the bubble is solid.
TEST_F(ToolTipTest, OnlyTheBubbleIsOpaque) {
    widget->SetToolTip(std::make_unique<SCommonToolTipContent>("Left earbud: 80 %"));
    backend.injectMouseMove(WindowId(), 130, 95);
    Pump();
    AdvanceTo(600);
    ASSERT_TRUE(tooltip->IsShown());
    platform::window::HeadlessWindow* window = backend.window(tooltip->GetWindow()->id());
    ASSERT_NE(window->lastFrame(), nullptr);
    EXPECT_EQ(window->transparency(), platform::window::Transparency::PerPixel);
    const int width = window->screenRect().width;
    const int height = window->screenRect().height;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{width - 1, 0}, std::pair{0, height - 1},
                               std::pair{width - 1, height - 1}}) {
        EXPECT_EQ(SurfacePixel(window->lastFrame(), x, y) >> 24, 0u) << x << "," << y;
    }
    EXPECT_EQ(SurfacePixel(window->lastFrame(), width / 2, height / 3) >> 24, 0xFFu);
}

TEST_F(ToolTipTest, ATooltipLeftBeforeItsDelayNeverShows) {
    widget->SetToolTip(std::make_unique<SCommonToolTipContent>("Right earbud"));
    backend.injectMouseMove(WindowId(), 130, 95);
    Pump();
    AdvanceTo(200);
    backend.injectMouseMove(WindowId(), 20, 20);
    Pump();
    AdvanceTo(2000);
    EXPECT_FALSE(tooltip->IsShown());
    EXPECT_EQ(tooltip->GetCurrentPanel(), nullptr);

    // A press hides a shown tooltip too.
    backend.injectMouseMove(WindowId(), 130, 95);
    Pump();
    AdvanceTo(2600);
    EXPECT_TRUE(tooltip->IsShown());
    backend.injectButtonDown(WindowId(), 130, 95);
    Pump();
    AdvanceTo(2620);
    EXPECT_FALSE(tooltip->IsShown());
}

TEST_F(ToolTipTest, PanelsAreMadeOncePerKindAndTheDefaultOneSitsBelowThePointer) {
    auto content = std::make_unique<SToolTipContent>("Case");
    content->showDelay = 100;
    widget->SetToolTip(std::move(content));
    backend.injectMouseMove(WindowId(), 130, 95);
    Pump();
    AdvanceTo(120);
    ASSERT_TRUE(tooltip->IsShown());
    SToolTipPanel* plain = tooltip->GetPanel("SToolTipPanel");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(tooltip->GetCurrentPanel(), plain);
    EXPECT_EQ(plain->GetText(), "Case");
    EXPECT_GT(tooltip->GetWindow()->screenRect().y, 145);

    // Leaving and coming back reuses the panel.
    backend.injectMouseMove(WindowId(), 20, 20);
    Pump();
    AdvanceTo(140);
    backend.injectMouseMove(WindowId(), 130, 95);
    Pump();
    EXPECT_EQ(tooltip->GetPanel("SToolTipPanel"), plain);
    EXPECT_EQ(tooltip->GetPanel("SShadowTooltipPanel"), nullptr);
}

TEST(ShadowTooltipPanel, AutomaticContentKeepsTheBubbleOnTheScreen) {
    SShadowTooltipPanel panel;
    const platform::window::Rect screen{0, 0, 800, 600};
    SAutoToolTipContent nearLeft("A long tooltip text near the left edge");
    panel.SetContent(&nearLeft);
    platform::window::Rect rect = panel.ComputeRect({5, 300}, screen, 1.0);
    EXPECT_EQ(panel.GetAlignment(), SShadowToolTipContentBase::TOOLTIP_TYPE_LEFT_ALIGNED);
    EXPECT_GE(rect.x, 0);
    rect = panel.ComputeRect({795, 300}, screen, 1.0);
    EXPECT_EQ(panel.GetAlignment(), SShadowToolTipContentBase::TOOLTIP_TYPE_RIGHT_ALIGNED);
    EXPECT_LE(rect.x + rect.width, 800);

    SCommonToolTipContent fixed(
        "Fixed", SShadowToolTipContentBase::AlignmentFromName("TOOLTIP_TYPE_RIGHT_ALIGNED"));
    panel.SetContent(&fixed);
    rect = panel.ComputeRect({400, 300}, screen, 1.0);
    EXPECT_EQ(panel.GetAlignment(), SShadowToolTipContentBase::TOOLTIP_TYPE_RIGHT_ALIGNED);
    EXPECT_GT(rect.x + rect.width, 400);
    EXPECT_LT(rect.x + rect.width, 440);  // the tail near the right end
    EXPECT_EQ(SShadowToolTipContentBase::AlignmentFromName("nonsense"),
              SShadowToolTipContentBase::TOOLTIP_TYPE_CENTER_ALIGNED);
}

}  // namespace
}  // namespace ui_test
