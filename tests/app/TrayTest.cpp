#include <cairo.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "app/DesktopCompanion.h"
#include "app/LowBatteryAlarm.h"
#include "app/TrayIconSet.h"
#include "app/TrayPresenter.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "services/SLocale.h"
#include "tests/app/AppTestSupport.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/platform/desktop/DesktopStandIns.h"

using integration::SimNeighbourhood;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

DeviceStatus Status(int left, int right, int batteryCase, int leftPlace, int rightPlace) {
    DeviceStatus status;
    status.batteryLeft = left;
    status.batteryRight = right;
    status.batteryCase = batteryCase;
    status.wearingDetection = (leftPlace << 4) | rightPlace;
    return status;
}

TrayPresenter::Pair Pair(bool second, DeviceStatus status) {
    return {second ? "Auralis+ (4F2A)" : "Auralis (77A0)", second, status, true};
}

// ---------------------------------------------------------------- what the item says

// Second generation: the case only while a bud sits in it, a bud not in use left out. First
// generation: both levels as reported, whatever the placement bits hold, never a case.
TEST(TrayPresenterTest, BatteryLinesFollowTheGenerationAndPlacement) {
    EXPECT_EQ(TrayPresenter::BatteryText(Pair(true, Status(64, 58, 40, 3, 2))),
              "Left 64 %, Right 58 %, Case 40 %");
    EXPECT_EQ(TrayPresenter::BatteryText(Pair(true, Status(64, 58, 40, 2, 2))),
              "Left 64 %, Right 58 %");
    EXPECT_EQ(TrayPresenter::BatteryText(Pair(true, Status(64, 58, 40, 0, 3))),
              "Right 58 %, Case 40 %");
    EXPECT_EQ(TrayPresenter::BatteryText(Pair(false, Status(64, 58, 40, 0, 3))),
              "Left 64 %, Right 58 %");
    EXPECT_EQ(TrayPresenter::BatteryText(Pair(false, Status(0, 101, 40, 0, 0))), "");
    TrayPresenter::Pair none;
    EXPECT_TRUE(TrayPresenter::BatteryLines(none).empty());
}

TEST(TrayPresenterTest, MenuHoldsTheLinesTheActionsAndTheSettingInTheUsersLanguage) {
    AfxGetLocale()->SetLocale("de-DE");
    const auto content = TrayPresenter::Build(Pair(true, Status(64, 58, 40, 3, 2)),
                                              {"Ohrhörer synchronisieren"}, true);
    AfxGetLocale()->SetLocale("en-US");
    EXPECT_EQ(content.tooltipTitle, "Auralis+ (4F2A)");
    EXPECT_EQ(content.tooltipText, "Links 64 %, Rechts 58 %, Case 40 %");
    std::vector<std::string> labels;
    for (const auto& entry : content.menu) {
        labels.push_back(entry.label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{
                          "Links 64 %", "Rechts 58 %", "Case 40 %", "", "Auralis Manager öffnen",
                          "Ohrhörer synchronisieren", "Andere Ohrhörer wählen", "",
                          "Beim Schließen im Infobereich weiterlaufen", "Beenden"}));
    const auto extra = std::find_if(content.menu.begin(), content.menu.end(), [](const auto& e) {
        return e.id == TrayPresenter::kFirstExtraId;
    });
    ASSERT_NE(extra, content.menu.end());
    EXPECT_TRUE(content.menu[8].checked);
}

// ---------------------------------------------------------------- low battery

TEST(LowBatteryAlarmTest, WarnsOncePerMarkAndDischargeAndAgainOnlyAfterACharge) {
    LowBatteryAlarm alarm;
    std::vector<int> warnings;
    for (int level : {40, 25, 21, 20, 19, 21, 20, 18, 11, 10, 11, 10, 9, 5}) {
        if (const int mark = alarm.OnLevel(level)) {
            warnings.push_back(mark);
        }
    }
    EXPECT_EQ(warnings, (std::vector<int>{20, 10}));
    // Charged a little (not past the margin): still nothing; charged properly: armed again.
    EXPECT_EQ(alarm.OnLevel(14), 0);
    EXPECT_EQ(alarm.OnLevel(19), 0);
    EXPECT_EQ(alarm.OnLevel(60), 0);
    EXPECT_EQ(alarm.OnLevel(20), 20);
    // A fall past both marks between two reports warns once, for the lower.
    LowBatteryAlarm fast;
    EXPECT_EQ(fast.OnLevel(30), 0);
    EXPECT_EQ(fast.OnLevel(8), 10);
    EXPECT_EQ(fast.OnLevel(7), 0);
    // No level (never reported, out of range) changes nothing.
    EXPECT_EQ(fast.OnLevel(0), 0);
    EXPECT_EQ(fast.OnLevel(255), 0);
}

// ---------------------------------------------------------------- icon

TEST(TrayIconSetTest, LevelStepsMatchTheHomeScreenAndEveryStepHasEverySize) {
    const std::vector<std::pair<int, int>> steps = {{-1, 2}, {0, 0},  {9, 0},  {10, 1},
                                                    {29, 1}, {30, 2}, {54, 2}, {55, 3},
                                                    {79, 3}, {80, 4}, {100, 4}};
    for (const auto& [level, step] : steps) {
        EXPECT_EQ(TrayIconSet::LevelStep(level), step) << level;
    }
    TrayIconSet icons;
    std::vector<std::vector<uint8_t>> largest;
    for (int step = 0; step < TrayIconSet::kSteps; ++step) {
        const auto& pixmaps = icons.Pixmaps(step);
        ASSERT_EQ(pixmaps.size(), TrayIconSet::kSizes.size()) << step;
        for (std::size_t i = 0; i < pixmaps.size(); ++i) {
            EXPECT_EQ(pixmaps[i].width, TrayIconSet::kSizes[i]);
            EXPECT_EQ(pixmaps[i].height, TrayIconSet::kSizes[i]);
            EXPECT_EQ(pixmaps[i].argb.size(),
                      std::size_t(pixmaps[i].width) * pixmaps[i].height * 4);
        }
        largest.push_back(pixmaps.back().argb);
    }
    // Each step looks different from the next.
    for (std::size_t i = 1; i < largest.size(); ++i) {
        EXPECT_NE(largest[i - 1], largest[i]);
    }
    // The corner is transparent, the middle of the face opaque orange (alpha first).
    const auto& icon = icons.Pixmaps(4).back();
    EXPECT_EQ(icon.argb[0], 0);
    const std::size_t face = (std::size_t(8) * 64 + 8) * 4;
    EXPECT_EQ(icon.argb[face], 255);
    EXPECT_GT(icon.argb[face + 1], 200);  // red
    EXPECT_LT(icon.argb[face + 3], 100);  // blue
}

TEST(TrayIconSetTest, PixelsGoOutAsAlphaRedGreenBlueWithStraightAlpha) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 1.0, 0.5, 0.0, 0.5);
    cairo_rectangle(cr, 0, 0, 1, 1);
    cairo_fill(cr);
    cairo_destroy(cr);
    const auto pixmap = TrayIconSet::FromSurface(surface);
    cairo_surface_destroy(surface);
    ASSERT_EQ(pixmap.argb.size(), 8u);
    EXPECT_NEAR(pixmap.argb[0], 128, 1);
    EXPECT_NEAR(pixmap.argb[1], 255, 2);
    EXPECT_NEAR(pixmap.argb[2], 128, 2);
    EXPECT_EQ(pixmap.argb[3], 0);
    EXPECT_EQ((std::vector<uint8_t>(pixmap.argb.begin() + 4, pixmap.argb.end())),
              (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_TRUE(TrayIconSet::FromSurface(nullptr).argb.empty());
}

// ---------------------------------------------------------------- the program with a panel

constexpr const char* kPlusText = "70:5A:B6:01:4F:2A";
constexpr const char* kFirstText = "70:5A:B6:00:77:A0";

class TrayProgramTest : public app_test::MainFrameTest {
protected:
    void Start(const json& device) {
        ASSERT_TRUE(bus.started());
        sim = std::make_unique<SimNeighbourhood>(json::array({device}));
        ASSERT_TRUE(sim->started());
        link = std::make_unique<BluetoothHandle>(
            std::make_shared<platform::bluetooth::SimBackend>(sim->socket()));
        LinkTimings timings;
        timings.lookupFailurePause = 10ms;
        timings.busyRetryPause = 50ms;
        timings.supportCheckPause = 10ms;
        timings.discoveryPause = 30ms;
        timings.aliveWait = 300ms;
        timings.alivePauseStep = 10ms;
        timings.alivePauseSteps = 5;
        link->setTimings(timings);
        CreateFrame(link.get());
        DesktopCompanion::Actions actions;
        actions.post = [this](std::function<void()> call) { backend.postCall(std::move(call)); };
        actions.raiseWindow = [this] {
            Window()->show();
            ++raised;
        };
        actions.quit = [this] { ++quits; };
        actions.windowFocused = [this] { return focused.load(); };
        actions.windowHidden = [this] { return !Window()->isVisible(); };
        Companion().Enable(std::move(actions));
    }

    void TearDown() override {
        DestroyFrame();
        if (link) {
            EXPECT_TRUE(link->shutdown(10s));
        }
    }

    DesktopCompanion& Companion() { return View().GetDesktopCompanion(); }

    void ConnectToHome() {
        SDummyView& welcome = View().GetDummyView();
        ASSERT_TRUE(PumpUntil([&] { return welcome.GetVisible() != 0 && !welcome.IsFadingIn(); }));
        Click(welcome.GetPanel().GetConnectButton());
        ASSERT_TRUE(
            PumpUntil([&] { return View().GetShownViewType() == SMainView::kViewHome; }, 20s))
            << "view " << View().GetViewType() << "\n"
            << app_test::LogText();
    }

    bool TooltipReads(const std::string& text) {
        // Generous: each look is a round trip over the bus, slow under the sanitizers.
        return PumpUntil(
            [&] {
                return Companion().TrayShown() && Companion().Settle(1000) &&
                       watcher.toolTip().text == text;
            },
            20s);
    }

    std::vector<std::string> Summaries() {
        std::vector<std::string> summaries;
        for (const auto& notice : server.notices()) {
            summaries.push_back(notice.summary);
        }
        return summaries;
    }

    desktop_test::PrivateSessionBus bus;
    desktop_test::TrayWatcherStandIn watcher{bus.address()};
    desktop_test::NotificationServerStandIn server{bus.address()};
    std::unique_ptr<SimNeighbourhood> sim;
    std::unique_ptr<BluetoothHandle> link;
    std::atomic<int> raised{0};
    std::atomic<int> quits{0};
    std::atomic<bool> focused{false};
};

// A connected second-generation pair: the item with its batteries; as the left bud runs down,
// one notice at 20 % and one at 10 %; the level steps of the icon follow; activation and a
// click on a notice bring the window back.
TEST_F(TrayProgramTest, SecondGenerationPairInTheTrayWithItsLowBatteryNotices) {
    Start({{"address", kPlusText},
           {"name", "Auralis+ (4F2A)"},
           {"state",
            {{"batteryLeft", 64}, {"batteryRight", 58}, {"batteryCase", 40}, {"wearing", 0x32}}}});
    EXPECT_TRUE(server.notices().empty());
    EXPECT_TRUE(watcher.registered().empty());  // nothing on the desktop before a pair
    ConnectToHome();
    ASSERT_TRUE(TooltipReads("Left 64 %, Right 58 %, Case 40 %"));
    EXPECT_EQ(watcher.toolTip().title, "Auralis+ (4F2A)");
    EXPECT_EQ(watcher.menu()[0].label, "Left 64 %");
    EXPECT_EQ(watcher.menuLabel(TrayPresenter::kChooseOtherId), "Choose other earbuds");
    EXPECT_EQ(watcher.menuLabel(TrayPresenter::kQuitId), "Quit");
    TrayIconSet icons;
    // The lower bud in use is the right one, at 58 %: the left sits in the case.
    EXPECT_EQ(watcher.iconPixmaps().back().argb, icons.Pixmaps(3).back().argb);

    ASSERT_EQ(sim->ctl(std::string("WEARING ") + kPlusText + " 2 2"), "OK");
    for (int level : {25, 21, 20, 19, 20, 15, 11, 10, 9}) {
        ASSERT_EQ(
            sim->ctl("BATTERY " + std::string(kPlusText) + " " + std::to_string(level) + " 58"),
            "OK");
        ASSERT_TRUE(TooltipReads("Left " + std::to_string(level) + " %, Right 58 %"));
    }
    EXPECT_EQ(watcher.iconPixmaps().back().argb, icons.Pixmaps(0).back().argb);
    ASSERT_TRUE(PumpUntil([&] { return server.notices().size() >= 2; }));
    PumpFor(200ms);
    EXPECT_EQ(Summaries(),
              (std::vector<std::string>{"Earbuds battery low", "Earbuds battery very low"}));
    EXPECT_EQ(server.notices()[0].body,
              "The left earbud's battery is at 20 %. Charge your earbuds soon.");
    EXPECT_NE(server.notices()[0].icon.find("icon_64.png"), std::string::npos);

    Window()->hide();
    watcher.activate();
    EXPECT_TRUE(PumpUntil([&] { return raised.load() == 1 && Window()->isVisible(); }));
    server.clickDefault(server.notices()[1].id);
    EXPECT_TRUE(PumpUntil([&] { return raised.load() == 2; }));
}

// A firmware update that ends while the user looks elsewhere is announced, one watched on the
// screen is not; the restart after a successful one is no lost pair.
TEST_F(TrayProgramTest, FirmwareResultsInTheBackgroundAndTheRestartAfterwards) {
    Start({{"address", kPlusText}, {"name", "Auralis+ (4F2A)"}, {"state", {{"wearing", 0x22}}}});
    ConnectToHome();
    ASSERT_TRUE(PumpUntil([&] { return Companion().TrayShown(); }));
    focused = true;
    Companion().OnFirmwareUpdateFinished(false);
    focused = false;
    Companion().OnFirmwareUpdateFinished(false);
    Companion().OnFirmwareUpdateFinished(true);
    ASSERT_TRUE(PumpUntil([&] { return server.notices().size() >= 2; }));
    EXPECT_EQ(Summaries(), (std::vector<std::string>{"Update failed", "Earbud software update"}));

    ASSERT_EQ(sim->ctl(std::string("SILENT ") + kPlusText + " ON"), "OK");
    ASSERT_TRUE(PumpUntil([&] { return View().GetViewType() != SMainView::kViewHome; }));
    PumpFor(300ms);
    EXPECT_EQ(server.notices().size(), 2u);
    EXPECT_TRUE(Companion().TrayShown());
}

// Closing with the setting on hides the window while the pair stays connected; losing the pair
// tells the user once, withdraws the item and brings the hidden window back.
TEST_F(TrayProgramTest, ClosingKeepsThePairInTheTrayUntilItIsLost) {
    Start({{"address", kFirstText},
           {"name", "Auralis (77A0)"},
           {"state", {{"batteryLeft", 70}, {"batteryRight", 66}, {"batteryCase", 40}}}});
    ConnectToHome();
    ASSERT_TRUE(TooltipReads("Left 70 %, Right 66 %"));  // first generation: no case
    EXPECT_FALSE(Companion().KeepsRunningOnClose());     // off unless the user turns it on
    const int keep = watcher.menuId("Keep running in the tray when closed");
    ASSERT_EQ(keep, TrayPresenter::kKeepInTrayId);
    watcher.clickMenu(keep);
    ASSERT_TRUE(PumpUntil([&] { return DesktopCompanion::KeepInTraySetting(); }));
    ASSERT_TRUE(PumpUntil([&] {
        for (const auto& line : watcher.menu()) {
            if (line.id == keep) {
                return line.toggleState == 1;
            }
        }
        return false;
    }));

    frame->OnClose();
    EXPECT_NE(frame->GetWindow(), nullptr);
    EXPECT_FALSE(Window()->isVisible());
    PumpFor(600ms);  // several alive checks while hidden
    EXPECT_EQ(View().GetViewType(), SMainView::kViewHome);
    EXPECT_TRUE(server.notices().empty());

    ASSERT_EQ(sim->ctl(std::string("SILENT ") + kFirstText + " ON"), "OK");
    ASSERT_TRUE(PumpUntil([&] { return !server.notices().empty(); }));
    EXPECT_EQ(server.notices()[0].summary, "Earbuds disconnected");
    EXPECT_EQ(server.notices()[0].body, "The connection to Auralis (77A0) was lost.");
    EXPECT_TRUE(PumpUntil([&] { return !Companion().TrayShown() && Window()->isVisible(); }));
    PumpFor(200ms);
    EXPECT_EQ(server.notices().size(), 1u);

    DesktopCompanion::SetKeepInTraySetting(false);
}

}  // namespace
