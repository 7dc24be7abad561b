// The main window: its layout and title bar, the dimming while dialogs are open, the start-up
// message and the update-available mark, the widget inspector switch, and the welcome screen.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "platform/TickCount.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/TestSandbox.h"
#include "ui/SCommandLine.h"
#include "ui/SDispatcher.h"
#include "ui/SWindowBaseFinderFrame.h"

using app_test::CountInLog;
using namespace std::chrono_literals;

namespace {

class MainWindowTest : public app_test::MainFrameTest {
protected:
    void SetUp() override { SCommandLine::SetArguments({}); }
    void TearDown() override {
        DestroyFrame();
        link.shutdown(5s);
        SCommandLine::SetArguments({});
    }
    void Create() { CreateFrame(&link); }

    SRect FrameRect(SWindowBase& widget) { return widget.GetRect(SWindowBase::kRectInFrame, 0); }
    bool TimerRunning(uint32_t id) {
        return backend.timers().contains(frame->GetWindow()->id(), id);
    }
    // A pixel of the last picture the window presented, 0xRRGGBB.
    uint32_t Pixel(int x, int y) {
        cairo_surface_t* surface = Window()->lastFrame();
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        return *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF;
    }

    // A link without Bluetooth: the window never touches the computer's radio.
    BluetoothHandle link;
};

TEST_F(MainWindowTest, LaysTheWindowOutWithTitleBarContentAndController) {
    Create();
    const platform::window::Rect rect = Window()->screenRect();
    EXPECT_EQ(rect.width, 424);
    EXPECT_EQ(rect.height, 515);
    // Centred on the display.
    EXPECT_EQ(rect.x, (1920 - 424) / 2);
    EXPECT_EQ(rect.y, (1080 - 515) / 2);
    EXPECT_EQ(frame->GetRootPanel().GetName(), "MainPanel");
    EXPECT_EQ(frame->GetRootPanel().GetBackgroundColor(), 0xC9C9C9u);
    EXPECT_EQ(frame->GetContentArea().GetBackgroundColor(), 0xFFFFFFu);
    const SRect title = FrameRect(frame->GetTitleBar());
    EXPECT_EQ(title.left, 8);
    EXPECT_EQ(title.top, 8);
    EXPECT_EQ(title.right, 416);
    EXPECT_EQ(title.bottom, 40);
    const SRect content = FrameRect(frame->GetContentArea());
    EXPECT_EQ(content.left, 8);
    EXPECT_EQ(content.top, 40);
    EXPECT_EQ(content.right, 416);
    EXPECT_EQ(content.bottom, 499);
    const SRect view = FrameRect(View());
    EXPECT_EQ(view.left, content.left);
    EXPECT_EQ(view.bottom, content.bottom);
    EXPECT_EQ(View().GetName(), "Main View");
    // The title bar's buttons at the right, close outermost.
    SMainTitleBar& bar = frame->GetTitleBar();
    EXPECT_EQ(FrameRect(bar.GetCloseButton()).right, 416);
    EXPECT_LT(FrameRect(bar.GetMinButton()).right, FrameRect(bar.GetCloseButton()).left + 0.5);
    EXPECT_LT(FrameRect(bar.GetMenuButton()).right, FrameRect(bar.GetMinButton()).left + 0.5);
    // One start-up item: one worker, which runs the update check's query and ends the chain.
    EXPECT_TRUE(PumpUntil([] { return CountInLog("SUpdater: _localVersion") == 1; }));
    EXPECT_EQ(frame->GetStartUp().GetStartedThreads(), 1);
    EXPECT_EQ(frame->GetStartUp().GetWorkCount(), 1u);
}

TEST_F(MainWindowTest, TitleBarDragsTheWindowButNotFromItsButtons) {
    backend.setHitTestSupported(true);
    Create();
    const auto id = frame->GetWindow()->id();
    backend.injectButtonDown(id, 200, 20);
    backend.injectButtonUp(id, 200, 20);
    const SRect close = FrameRect(frame->GetTitleBar().GetCloseButton());
    backend.injectMouseMove(id, static_cast<int>(close.left) + 10, 22);
    PumpFor(5ms);
    ASSERT_EQ(backend.systemActions().size(), 1u);
    EXPECT_EQ(backend.systemActions()[0].code, platform::window::HitCode::Caption);
    // Content is not a drag area.
    backend.injectButtonDown(id, 200, 300);
    backend.injectButtonUp(id, 200, 300);
    PumpFor(5ms);
    EXPECT_EQ(backend.systemActions().size(), 1u);
}

TEST_F(MainWindowTest, TitleBarButtonsMinimiseAndClose) {
    Create();
    Click(frame->GetTitleBar().GetMinButton());
    EXPECT_TRUE(Window()->isMinimized());
    EXPECT_TRUE(frame->IsWindow());
    const std::filesystem::path logFolder = testing_support::makeTempFolder("closelog");
    base::log::configure({.folder = logFolder, .name = "close"});
    Click(frame->GetTitleBar().GetCloseButton());
    ASSERT_TRUE(PumpUntil([&] { return !frame->IsWindow(); }));
    // The main frame's end is the end of the loop.
    EXPECT_TRUE(app->GetDispatcher().IsQuitting());
    EXPECT_FALSE(View().GetBluetoothHandle()->hasReceiver(&View()));
    base::log::flush();
    std::ifstream log(logFolder / "close.log");
    const std::string text{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("SWindowMainFrame::OnClose"), std::string::npos) << "the close is logged";
}

TEST_F(MainWindowTest, DialogsDimTheWindowOnceAndItBrightensAfterTheLast) {
    Create();
    PumpFor(400ms);  // the welcome screen has faded in
    platform::ManualTickSource clock(platform::tickCount());
    auto tick = [&] {
        clock.advance(20);
        app->GetDispatcher().PumpPending();
        app->GetDispatcher().PumpPending();
    };
    const uint32_t before = Pixel(212, 300);
    frame->OnModalState(1);
    EXPECT_TRUE(frame->IsDimmed());
    EXPECT_EQ(frame->GetDimLevel(), 0);
    EXPECT_TRUE(TimerRunning(SWindowMainFrame::kDimInTimer));
    std::vector<int> levels;
    for (int i = 0; i < 4; ++i) {
        tick();
        levels.push_back(frame->GetDimLevel());
    }
    EXPECT_EQ(levels, (std::vector<int>{4, 8, 12, 12}));
    EXPECT_FALSE(TimerRunning(SWindowMainFrame::kDimInTimer));
    // The veil: 0x323232 at alpha 12/255 over the white content, inside the shadow border.
    const uint32_t dimmed = Pixel(212, 300);
    EXPECT_NE(dimmed, before);
    EXPECT_NEAR(static_cast<int>(dimmed & 0xFF), 255 - (255 - 0x32) * 12 / 255, 2);
    EXPECT_EQ(Pixel(3, 300), 0xC9C9C9u);

    // A second dialog over the first: no new fade.
    frame->OnModalState(1);
    EXPECT_EQ(frame->GetDimLevel(), 12);
    EXPECT_EQ(frame->GetOpenPopupCount(), 2u);
    frame->OnModalState(0);
    EXPECT_TRUE(frame->IsDimmed());
    EXPECT_FALSE(TimerRunning(SWindowMainFrame::kDimOutTimer));
    const int raisedBefore = Window()->raiseCount();
    frame->OnModalState(0);
    EXPECT_GT(Window()->raiseCount(), raisedBefore);
    EXPECT_TRUE(TimerRunning(SWindowMainFrame::kDimOutTimer));
    levels.clear();
    for (int i = 0; i < 3; ++i) {
        tick();
        levels.push_back(frame->GetDimLevel());
    }
    EXPECT_EQ(levels, (std::vector<int>{8, 4, 0}));
    EXPECT_FALSE(frame->IsDimmed());
    EXPECT_FALSE(TimerRunning(SWindowMainFrame::kDimOutTimer));
    tick();
    EXPECT_EQ(Pixel(212, 300), before);
}

TEST_F(MainWindowTest, StartUpMessagesAndTheUpdateMark) {
    Create();
    EXPECT_TRUE(PumpUntil([] { return CountInLog("SUpdater: _localVersion") == 1; }));
    // Parameter 3 at the end of the list runs nothing more.
    frame->OnUserMessage(SWindowMainFrame::kStartUpMessage, 3);
    EXPECT_EQ(frame->GetStartUp().GetStartedThreads(), 1);
    EXPECT_EQ(frame->OnStartUpMsg(2, 0), 0);
    frame->OnUserMessage(SWindowMainFrame::kIgnoredMessage, 1);

    SMenuEntry* about = frame->GetTitleBar().GetMenu("WindowMenu")->FindCommand(604);
    ASSERT_NE(about, nullptr);
    about->redrawState = 5;
    frame->OnUserMessage(SWindowMainFrame::kUpdateMarkMessage, 1);
    EXPECT_EQ(about->state & SMenuEntry::kStateChecked, SMenuEntry::kStateChecked);
    EXPECT_EQ(about->redrawState, 0);
    frame->OnUserMessage(SWindowMainFrame::kUpdateMarkMessage, 0);
    EXPECT_EQ(about->state & SMenuEntry::kStateChecked, 0u);
    // The menu's entries as the title bar defines them.
    const auto& entries = frame->GetTitleBar().GetMenu("WindowMenu")->entries;
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].command, 605);
    EXPECT_EQ(entries[0].state, SMenuEntry::kStateDisabled);
    EXPECT_EQ(entries[0].redrawState, 1);
    EXPECT_EQ(entries[4].command, 608);
    EXPECT_EQ(entries[5].state, SMenuEntry::kStateSeparator);
    EXPECT_EQ(frame->OnCommand(605), 0);
}

TEST_F(MainWindowTest, TheInspectorSwitchInsideALongerArgumentOpensIt) {
    SCommandLine::SetArguments({"--x/windowbasefinder=1"});
    Create();
    ASSERT_NE(frame->GetWindowBaseFinder(), nullptr);
    EXPECT_EQ(SWindowBaseFinderFrame::Find(frame.get()), frame->GetWindowBaseFinder());
    frame->OnClose();
    EXPECT_EQ(frame->GetWindowBaseFinder(), nullptr);
    EXPECT_EQ(SWindowBaseFinderFrame::Find(frame.get()), nullptr);
}

TEST_F(MainWindowTest, WithoutTheSwitchNoInspector) {
    SCommandLine::SetArguments({"/windowbase", "finder"});
    Create();
    EXPECT_EQ(frame->GetWindowBaseFinder(), nullptr);
}

TEST_F(MainWindowTest, TheWelcomeCaseOpensAndClosesOnlyWhileShown) {
    Create();
    SDummyPanel& panel = View().GetDummyView().GetPanel();
    ASSERT_TRUE(PumpUntil([&] { return panel.GetVisible() != 0; }));
    EXPECT_TRUE(panel.IsSwapTimerRunning());
    EXPECT_TRUE(TimerRunning(SDummyPanel::kSwapTimerId));
    EXPECT_FALSE(panel.IsOpenImageShown());
    panel.OnTimer(SDummyPanel::kSwapTimerId);
    EXPECT_TRUE(panel.IsOpenImageShown());
    panel.OnTimer(SDummyPanel::kSwapTimerId);
    EXPECT_FALSE(panel.IsOpenImageShown());
    EXPECT_EQ(panel.FindChild("SCommonButton _btnConnect"), &panel.GetConnectButton());
    View().UpdateMainView(SMainView::kViewConnecting);
    ASSERT_TRUE(PumpUntil([&] { return View().GetDummyView().GetVisible() == 0; }));
    EXPECT_FALSE(panel.IsSwapTimerRunning());
    EXPECT_FALSE(TimerRunning(SDummyPanel::kSwapTimerId));
    View().UpdateMainView(SMainView::kViewWelcome);
    ASSERT_TRUE(PumpUntil([&] { return panel.IsSwapTimerRunning(); }));
}

TEST_F(MainWindowTest, ChineseWelcomeTextSitsHigher) {
    setenv("AURALIS_LANG", "zh-CN", 1);
    Create();
    unsetenv("AURALIS_LANG");
    SWindowBase* welcome =
        View().GetDummyView().GetPanel().FindChild("DeviceDummyViewDescWelcome Text Container");
    ASSERT_NE(welcome, nullptr);
    EXPECT_EQ(welcome->GetMargin().top, SDummyPanel::kWelcomeTopChinese);
    EXPECT_EQ(SDummyPanel::kWelcomeTop - SDummyPanel::kWelcomeTopChinese, 27);
}

}  // namespace
