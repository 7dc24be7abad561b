// The connection controller against auralis-sim through a link of the test's own: discovery with
// none, one and two pairs in range, the device list, the first status report, failure counts
// and unpairing, one-side failures, results while home is shown and the reconnect thread.

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "app/SBluetoothDevicesPopup.h"
#include "app/SMainTitleBar.h"
#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "tests/app/AppTestSupport.h"
#include "tests/integration/SimNeighbourhood.h"
#include "ui/SItem.h"
#include "ui/SItemList.h"

using app_test::CountInLog;
using app_test::LogText;
using integration::SimNeighbourhood;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

constexpr uint64_t kPlus = 0x705AB6014F2Aull;
constexpr uint64_t kFirst = 0x705AB60077A0ull;
const char* const kPlusText = "70:5A:B6:01:4F:2A";
const char* const kFirstText = "70:5A:B6:00:77:A0";
const char* const kPlusKey = "123534902906666";
const char* const kFirstKey = "123534902851488";

json Device(const char* address, const char* name, json extra = json::object()) {
    json settings = {{"address", address}, {"name", name}};
    settings.update(extra);
    return settings;
}

json Plus(json extra = json::object()) {
    return Device(kPlusText, "Auralis+ (4F2A)", std::move(extra));
}

json First(json extra = json::object()) {
    return Device(kFirstText, "Auralis (77A0)", std::move(extra));
}

LinkTimings FastLink() {
    LinkTimings timings;
    timings.supportCheckPause = 10ms;
    timings.discoveryPause = 30ms;
    timings.lookupFailurePause = 10ms;
    timings.aliveWait = 300ms;
    timings.alivePauseStep = 10ms;
    timings.alivePauseSteps = 5;
    timings.busyRetryPause = 50ms;
    return timings;
}

SMainView::Timings FastView() {
    SMainView::Timings timings;
    timings.firstStatusLimit = 1500ms;
    timings.reconnectRestartPause = 20ms;
    timings.reconnectSettlePause = 5ms;
    timings.reconnectRetryPause = 20ms;
    timings.reconnectResultLimit = 3000ms;
    return timings;
}

class MainViewTest : public app_test::MainFrameTest {
protected:
    void Start(const json& devices) {
        sim = std::make_unique<SimNeighbourhood>(devices);
        ASSERT_TRUE(sim->started());
        link = std::make_unique<BluetoothHandle>(
            std::make_shared<platform::bluetooth::SimBackend>(sim->socket()));
        link->setTimings(FastLink());
        View().SetTimings(FastView());
        View().SetMessageRunner([this](const std::string& title, const std::string& text) {
            messages.push_back(title + " | " + text);
        });
        View().SetPopupRunner([this](SBluetoothDevicesPopup& popup) {
            ++popupRuns;
            popupHandle = popup.GetBluetoothHandle();
            return choose ? choose(popup) : std::nullopt;
        });
        CreateFrame(link.get());
    }

    void TearDown() override {
        DestroyFrame();
        if (link) {
            EXPECT_TRUE(link->shutdown(10s));
        }
    }

    // The welcome screen's connect button, pressed once the screen has faded in.
    void PressConnect() {
        SDummyView& welcome = View().GetDummyView();
        ASSERT_TRUE(PumpUntil([&] { return welcome.GetVisible() != 0 && !welcome.IsFadingIn(); }));
        Click(welcome.GetPanel().GetConnectButton());
        EXPECT_EQ(View().GetViewType(), SMainView::kViewConnecting);
    }

    bool ReachView(int viewType, std::chrono::milliseconds limit = 5s) {
        // Decided on a link thread, shown once the UI thread has handled what was posted.
        return PumpUntil(
            [&] {
                return View().GetViewType() == viewType && View().GetShownViewType() == viewType &&
                       app->GetDispatcher().PendingInvocations() == 0;
            },
            limit);
    }

    std::vector<std::string> ListedNames() {
        std::vector<std::string> names;
        for (const SItem& item : View().GetDeviceItems()->Snapshot()) {
            names.push_back(item.GetValue("BluetoothName") + "=" + item.GetValue("BluetoothKey"));
        }
        return names;
    }

    bool Connected(const char* address) const {
        return sim->info(address).value("connected", false);
    }

    std::unique_ptr<SimNeighbourhood> sim;
    std::unique_ptr<BluetoothHandle> link;
    std::vector<std::string> messages;
    int popupRuns = 0;
    BluetoothHandle* popupHandle = nullptr;
    std::function<std::optional<std::string>(SBluetoothDevicesPopup&)> choose;
};

// ---------------------------------------------------------------- start and the device set

TEST_F(MainViewTest, StartsOnTheWelcomeScreenAsTheLinksDelegate) {
    Start(json::array());
    EXPECT_TRUE(link->hasReceiver(&View()));
    EXPECT_EQ(View().GetViewType(), SMainView::kViewWelcome);
    ASSERT_TRUE(PumpUntil([&] { return View().GetDummyView().GetVisible() != 0; }));
    EXPECT_EQ(View().GetHomeView().GetVisible(), 0);
    EXPECT_EQ(View().GetConnectingView().GetVisible(), 0);
    EXPECT_EQ(View().GetFailView().GetVisible(), 0);
    const std::vector<std::string> expected = {"Dummy View", "_homeView", "_connectingView",
                                               "_failView", "About PC Program Button"};
    std::vector<std::string> names;
    for (SWindowBase* child : View().GetChildren()) {
        names.push_back(child->GetName());
    }
    EXPECT_EQ(names, expected);
    // The about button: centred across, 5 units above the bottom edge.
    const SRect view = View().GetRect(SWindowBase::kRectInFrame, 0);
    const SRect about = View().GetAboutButton().GetRect(SWindowBase::kRectInFrame, 0);
    EXPECT_NEAR((about.left + about.right) / 2, (view.left + view.right) / 2, 1.0);
    EXPECT_NEAR(view.bottom - about.bottom, 5.0, 0.01);
    // The firmware screen, whose content scrolls, ends above the link in every zoom and language.
    const SRect firmware =
        View().GetHomeView().GetFirmwareUpdateView().GetRect(SWindowBase::kRectInFrame, 0);
    EXPECT_LE(firmware.bottom, about.top);
}

TEST_F(MainViewTest, OnePairInRangeConnectsWithoutTheListAndReachesHome) {
    Start(json::array({Plus({{"state", {{"batteryLeft", 77}}}})}));
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    EXPECT_EQ(popupRuns, 0);
    EXPECT_FALSE(link->flags().finding.load());
    EXPECT_TRUE(Connected(kPlusText));
    EXPECT_TRUE(PumpUntil([&] { return View().GetHomeView().GetVisible() != 0; }));
    EXPECT_EQ(View().GetHomeView().GetDeviceCluster().GetModel(), "VX-R175");
    const std::string log = LogText();
    EXPECT_NE(log.find("OnConnectButtonClick"), std::string::npos);
    EXPECT_NE(log.find("OnCheckBluetoothResponse isSupport[1]"), std::string::npos);
    EXPECT_NE(log.find("Device count = 1, Connect to deivice now"), std::string::npos);
    EXPECT_NE(log.find("isConnected[1], wait device status change"), std::string::npos);
    EXPECT_NE(log.find("Connected to device[Auralis+ (4F2A)] TWSStatus[1]"), std::string::npos);
}

TEST_F(MainViewTest, TwoPairsOpenTheListAndTheChoiceIsConnected) {
    Start(json::array({Plus(), First()}));
    std::vector<std::string> listed;
    choose = [&](SBluetoothDevicesPopup&) -> std::optional<std::string> {
        listed = ListedNames();
        return std::string(kFirstKey);
    };
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    EXPECT_EQ(popupRuns, 1);
    // The list's link is the controller's; items in ascending address order.
    EXPECT_EQ(popupHandle, link.get());
    const std::vector<std::string> expected = {std::string("Auralis (77A0)=") + kFirstKey,
                                               std::string("Auralis+ (4F2A)=") + kPlusKey};
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(Connected(kFirstText));
    EXPECT_FALSE(Connected(kPlusText));
    EXPECT_EQ(CountInLog("ShowBluetoothDevicesPopup\n"), 1);
}

TEST_F(MainViewTest, ClosingTheListWithoutAChoiceStopsTheSearchAndReturnsToWelcome) {
    Start(json::array({Plus(), First()}));
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewWelcome));
    EXPECT_EQ(popupRuns, 1);
    EXPECT_FALSE(link->flags().finding.load());
    // Reports that were still on their way open nothing.
    PumpFor(150ms);
    EXPECT_EQ(popupRuns, 1);
    EXPECT_EQ(View().GetViewType(), SMainView::kViewWelcome);
}

TEST_F(MainViewTest, ReportsWhileTheListIsOpenRefreshItAndAChoiceThatLeftStartsNothing) {
    Start(json::array({Plus(), First()}));
    choose = [&](SBluetoothDevicesPopup&) -> std::optional<std::string> {
        EXPECT_EQ(sim->ctl(std::string("REMOVE ") + kFirstText), "OK");
        // The list stays open while the search reports the smaller set.
        EXPECT_TRUE(PumpUntil(
            [&] { return CountInLog("Devices Popup is show, update list device only") > 0; }));
        EXPECT_EQ(View().GetDeviceItems()->Count(), 1u);
        EXPECT_EQ(View().GetViewType(), SMainView::kViewConnecting);
        return std::string(kFirstKey);
    };
    PressConnect();
    ASSERT_TRUE(PumpUntil([&] { return popupRuns == 1 && View().GetDevicesPopup() == nullptr; }));
    EXPECT_EQ(CountInLog("Chosen device [" + std::string(kFirstKey) + "] is no longer found"), 1);
    // Still connecting, or already on to the pair that remained: never back to welcome.
    const int viewType = View().GetViewType();
    EXPECT_TRUE(viewType == SMainView::kViewConnecting || viewType == SMainView::kViewHome)
        << viewType;
    EXPECT_FALSE(Connected(kFirstText));
    // The search went on: the one remaining pair is then connected without a list.
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    EXPECT_TRUE(Connected(kPlusText));
}

TEST_F(MainViewTest, NoPairInRangeKeepsConnectingWhileTheSearchGoesOn) {
    Start(json::array());
    PressConnect();
    PumpFor(300ms);
    EXPECT_EQ(View().GetViewType(), SMainView::kViewConnecting);
    EXPECT_TRUE(link->flags().finding.load());
    EXPECT_EQ(popupRuns, 0);
    EXPECT_EQ(CountInLog("OnDeviceFindChange: Count"), 0);
}

TEST_F(MainViewTest, WithoutBluetoothTheWelcomeScreenShowsTheMessage) {
    Start(json::array({Plus()}));
    ASSERT_EQ(sim->ctl("RADIO OFF"), "OK");
    PressConnect();
    ASSERT_TRUE(PumpUntil([&] { return !messages.empty(); }));
    EXPECT_EQ(View().GetViewType(), SMainView::kViewWelcome);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Bluetooth unavailable | Bluetooth is not available on this computer. "
              "Turn Bluetooth on or plug in a Bluetooth adapter, then try again. To find out why, "
              "run “auralis-ctl doctor” in a terminal.");
    EXPECT_FALSE(link->flags().finding.load());
    EXPECT_EQ(CountInLog("OnCheckBluetoothResponse isSupport[0]"), 1);
}

// ---------------------------------------------------------------- the first status report

TEST_F(MainViewTest, OneBudConnectedShowsTheOneSideFailure) {
    Start(json::array({Plus({{"state", {{"twsStatus", 0}}}})}));
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewOneSideFailure));
    EXPECT_EQ(View().GetFailView().GetFailKind(), SDeviceFailView::kKindOneSide);
    EXPECT_EQ(View().GetTwsStatus(), 0);
    EXPECT_TRUE(View().GetFailureCounts().empty());

    // The failure screen lets go of the earbuds.
    EXPECT_TRUE(PumpUntil([&] { return !sim->info(kPlusText).value("connected", true); }));

    // OK, then connecting again once both buds are in: a fresh link, not a busy one.
    ASSERT_EQ(sim->ctl(std::string("SET ") + kPlusText + " twsStatus=1"), "OK");
    SDeviceFailView& failView = View().GetFailView();
    ASSERT_TRUE(PumpUntil([&] { return failView.GetVisible() != 0 && !failView.IsFadingIn(); }));
    Click(failView.GetOkButton());
    ASSERT_TRUE(ReachView(SMainView::kViewWelcome));
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    EXPECT_EQ(CountInLog("Device or resource busy"), 0);
    EXPECT_TRUE(View().GetFailureCounts().empty());
}

TEST_F(MainViewTest, APairThatNeverReportsFailsOnceTheStatusWaitEnds) {
    Start(json::array({Plus()}));
    ASSERT_EQ(sim->ctl(std::string("SILENT ") + kPlusText + " ON"), "OK");
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewConnectFailure, 6s));
    EXPECT_EQ(CountInLog("No status from device[Auralis+ (4F2A)] within 1500 ms"), 1);
    // Not a failed connection: the pairing stays and nothing is counted.
    EXPECT_TRUE(View().GetFailureCounts().empty());
    EXPECT_TRUE(sim->info(kPlusText).value("paired", false));
}

TEST_F(MainViewTest, APairTheLinkGivesUpFailsAtOnceInsteadOfWaitingOutTheStatusBound) {
    Start(json::array({Plus()}));
    SMainView::Timings timings = FastView();
    timings.firstStatusLimit = 120s;  // only the link's own verdict can end the wait in time
    View().SetTimings(timings);
    ASSERT_EQ(sim->ctl(std::string("SILENT ") + kPlusText + " ON"), "OK");
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewConnectFailure, 20s));
    EXPECT_EQ(CountInLog("The link was lost before the first status"), 1);
    EXPECT_TRUE(View().GetFailureCounts().empty());
    EXPECT_TRUE(sim->info(kPlusText).value("paired", false));
}

TEST_F(MainViewTest, EarbudsGoingSilentOnHomeShowTheConnectionFailure) {
    Start(json::array({Plus()}));
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    ASSERT_EQ(sim->ctl(std::string("SILENT ") + kPlusText + " ON"), "OK");
    ASSERT_TRUE(ReachView(SMainView::kViewConnectFailure));
    EXPECT_EQ(CountInLog("OnDeviceDisconnected: DisconnectError[0]"), 1);
    EXPECT_EQ(View().GetFailView().GetFailKind(), SDeviceFailView::kKindConnectFail);
}

// ---------------------------------------------------------------- a busy device

// Another program's link to the earbuds (the device is busy while it is held).
std::shared_ptr<platform::bluetooth::Connection> HoldLink(SimNeighbourhood& sim) {
    platform::bluetooth::SimBackend other(sim.socket());
    return other.connect(kPlus, BluetoothHandle::kServiceUuidSecond).connection;
}

TEST_F(MainViewTest, ABusyDeviceIsTriedOnceMoreAndNeverCountsTowardsUnpairing) {
    Start(json::array({Plus({{"paired", true}})}));
    const auto holder = HoldLink(*sim);
    ASSERT_TRUE(holder);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        if (attempt == 1) {
            PressConnect();
        } else {
            link->ConnectToDevice(link->connectedDevice());
        }
        ASSERT_TRUE(PumpUntil(
            [&] { return CountInLog("is busy; not counted as a failed connect") == attempt; },
            10s));
        ASSERT_TRUE(ReachView(SMainView::kViewConnectFailure));
    }
    EXPECT_EQ(CountInLog("is busy; trying once more"), 3);
    EXPECT_EQ(CountInLog("Connect Error:[16]"), 6);
    EXPECT_TRUE(View().GetFailureCounts().empty());
    EXPECT_EQ(CountInLog("remove device"), 0);
    EXPECT_TRUE(sim->info(kPlusText).value("paired", false));
}

TEST_F(MainViewTest, ADeviceThatStopsBeingBusyDuringThePauseIsConnected) {
    Start(json::array({Plus({{"paired", true}})}));
    LinkTimings timings = FastLink();
    timings.busyRetryPause = 1500ms;
    link->setTimings(timings);
    auto holder = HoldLink(*sim);
    ASSERT_TRUE(holder);
    PressConnect();
    ASSERT_TRUE(PumpUntil([] { return CountInLog("is busy; trying once more") == 1; }, 10s));
    holder->close();
    ASSERT_TRUE(ReachView(SMainView::kViewHome, 10s));
    EXPECT_TRUE(View().GetFailureCounts().empty());
}

// ---------------------------------------------------------------- choosing other earbuds

// The window menu's entry for choosing other earbuds, with its greyed state as the menu
// would show it now.
SMenuEntry* ChooseEarbudsEntry(SWindowMainFrame& frame) {
    SMenuDefinition* menu = frame.GetTitleBar().GetMenu("WindowMenu");
    return menu != nullptr ? menu->FindCommand(SMainTitleBar::kCommandSyncEarBuds) : nullptr;
}

TEST_F(MainViewTest, ChoosingOtherEarbudsClosesTheLinkAndConnectsThePairPickedFromTheList) {
    Start(json::array({Plus(), First()}));
    std::vector<std::string> listed;
    choose = [&](SBluetoothDevicesPopup&) -> std::optional<std::string> {
        listed = ListedNames();
        return std::string(kFirstKey);
    };
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    ASSERT_TRUE(Connected(kFirstText));
    EXPECT_EQ(View().GetHomeView().GetDeviceCluster().GetModel(), "VX-R170");

    // From the menu, as the user does: the entry is choosable while home shows a pair.
    Click(frame->GetTitleBar().GetMenuButton());
    ASSERT_TRUE(frame->GetMenuFrame().IsOpen());
    ASSERT_NE(ChooseEarbudsEntry(*frame), nullptr);
    EXPECT_FALSE(ChooseEarbudsEntry(*frame)->IsDisabled());
    choose = [&](SBluetoothDevicesPopup&) -> std::optional<std::string> {
        listed = ListedNames();
        return std::string(kPlusKey);
    };
    frame->OnCommand(SMainTitleBar::kCommandSyncEarBuds);
    EXPECT_FALSE(frame->GetMenuFrame().IsOpen());
    EXPECT_EQ(View().GetViewType(), SMainView::kViewConnecting);
    ASSERT_TRUE(ReachView(SMainView::kViewHome, 10s));
    // The list offered both pairs again; the first pair was let go, the other one connected
    // and home shows it.
    EXPECT_EQ(popupRuns, 2);
    EXPECT_EQ(listed.size(), 2u);
    EXPECT_TRUE(PumpUntil([&] { return !Connected(kFirstText); }));
    EXPECT_TRUE(Connected(kPlusText));
    EXPECT_TRUE(
        PumpUntil([&] { return View().GetHomeView().GetDeviceCluster().GetModel() == "VX-R175"; }));
    EXPECT_EQ(View().GetHomeView().GetDeviceCluster().GetNameLabel().GetText(), "Auralis+ (4F2A)");
    EXPECT_EQ(CountInLog("Closing the link to the connected pair"), 1);
    // A choice the user withdraws leaves the user on the welcome screen, not on a dead link.
    choose = nullptr;
    frame->OnCommand(SMainTitleBar::kCommandSyncEarBuds);
    ASSERT_TRUE(ReachView(SMainView::kViewWelcome, 10s));
    EXPECT_TRUE(PumpUntil([&] { return !Connected(kPlusText); }));
}

TEST_F(MainViewTest, OtherEarbudsCannotBeChosenWhileAnUpdateRuns) {
    Start(json::array({Plus()}));
    PressConnect();
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    SFirmwareUpdateView& firmware = View().GetHomeView().GetFirmwareUpdateView();
    for (int state : {SFirmwareUpdateView::kStateDownloading, SFirmwareUpdateView::kStateCopying}) {
        firmware.SetViewState(state);
        Click(frame->GetTitleBar().GetMenuButton());
        ASSERT_TRUE(frame->GetMenuFrame().IsOpen());
        EXPECT_TRUE(ChooseEarbudsEntry(*frame)->IsDisabled()) << state;
        Click(frame->GetTitleBar().GetMenuButton());
        // Even a command that gets through leaves the pair connected and home shown.
        frame->OnCommand(SMainTitleBar::kCommandSyncEarBuds);
        EXPECT_EQ(View().GetViewType(), SMainView::kViewHome) << state;
    }
    PumpFor(200ms);
    EXPECT_TRUE(Connected(kPlusText));
    EXPECT_EQ(CountInLog("Closing the link to the connected pair"), 0);
    // Once the update is over the entry is choosable again.
    firmware.SetViewState(SFirmwareUpdateView::kStateCheck);
    Click(frame->GetTitleBar().GetMenuButton());
    ASSERT_TRUE(frame->GetMenuFrame().IsOpen());
    EXPECT_FALSE(ChooseEarbudsEntry(*frame)->IsDisabled());
}

// ---------------------------------------------------------------- connect results

class ConnectResultTest : public MainViewTest {
protected:
    // Delivers a connect result on a thread of its own, as the link's connect thread does.
    void Deliver(bool connected, BluetoothDevice* device, int twsStatus = 1) {
        std::thread([&] {
            if (connected) {
                DeviceStatus status;
                status.twsStatus = twsStatus;
                View().OnDeviceStatusChange(status);
            }
            View().OnDeviceConnected(connected, device);
        }).join();
        PumpFor(5ms);
    }

    BluetoothDevice plus{"Auralis+ (4F2A)", kPlus};
    BluetoothDevice first{"Auralis (77A0)", kFirst};
};

TEST_F(ConnectResultTest, TheThirdFailureUnpairsTheDeviceAndStartsItsCountAgain) {
    Start(json::array({Plus({{"paired", true}})}));
    Deliver(false, &plus);
    EXPECT_EQ(View().GetFailureCounts(), (std::map<uint64_t, int>{{kPlus, 1}}));
    EXPECT_EQ(View().GetViewType(), SMainView::kViewConnectFailure);
    Deliver(false, &plus);
    EXPECT_EQ(View().GetFailureCounts(), (std::map<uint64_t, int>{{kPlus, 2}}));
    EXPECT_TRUE(sim->info(kPlusText).value("paired", false));
    Deliver(false, &plus);
    EXPECT_TRUE(View().GetFailureCounts().empty());
    EXPECT_FALSE(sim->info(kPlusText).value("paired", true));
    EXPECT_EQ(CountInLog("Can not connect to device[Auralis+ (4F2A)] count[3]"), 1);
    EXPECT_EQ(CountInLog("Try connect to device[Auralis+ (4F2A)] > 3, remove device"), 1);
    Deliver(false, &plus);
    EXPECT_EQ(View().GetFailureCounts(), (std::map<uint64_t, int>{{kPlus, 1}}));
}

TEST_F(ConnectResultTest, ASuccessWithAnyDeviceClearsEveryCount) {
    Start(json::array({Plus(), First()}));
    Deliver(false, &plus);
    Deliver(false, &first);
    Deliver(false, &first);
    EXPECT_EQ(View().GetFailureCounts(), (std::map<uint64_t, int>{{kPlus, 1}, {kFirst, 2}}));
    Deliver(true, &plus);
    EXPECT_TRUE(View().GetFailureCounts().empty());
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    EXPECT_EQ(View().GetHomeView().GetDeviceCluster().GetModel(), "");
}

TEST_F(ConnectResultTest, ResultsWhileHomeIsShownLeaveTheScreenAndTheCounts) {
    Start(json::array());
    View().UpdateMainView(SMainView::kViewHome);
    Deliver(false, &plus);
    Deliver(true, &first, 0);
    PumpFor(20ms);
    EXPECT_EQ(View().GetViewType(), SMainView::kViewHome);
    EXPECT_TRUE(View().GetFailureCounts().empty());
}

TEST_F(ConnectResultTest, FailureScreensFollowEachOtherWithTheirKinds) {
    Start(json::array());
    Deliver(true, &plus, 2);
    ASSERT_TRUE(ReachView(SMainView::kViewOneSideFailure));
    EXPECT_EQ(View().GetFailView().GetFailKind(), SDeviceFailView::kKindOneSide);
    Deliver(false, &plus);
    ASSERT_TRUE(ReachView(SMainView::kViewConnectFailure));
    EXPECT_EQ(View().GetFailView().GetFailKind(), SDeviceFailView::kKindConnectFail);
    Deliver(true, &plus, 1);
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
}

// ---------------------------------------------------------------- reconnect after an update

TEST_F(ConnectResultTest, TheReconnectThreadTriesUntilTheEarbudsAreBack) {
    Start(json::array({Plus({{"paired", true}, {"inRange", false}})}));
    View().ReconnectDevice(&plus);
    EXPECT_TRUE(View().IsReconnectRunning());
    // Out of range: attempts fail and are tried again, without counting or unpairing.
    ASSERT_TRUE(PumpUntil([] { return CountInLog("ThreadReconnectDevice: tryCount[1]") == 1; }));
    EXPECT_NE(View().GetViewType(), SMainView::kViewConnectFailure);
    EXPECT_TRUE(View().GetFailureCounts().empty());
    ASSERT_EQ(sim->ctl(std::string("RANGE ") + kPlusText + " IN"), "OK");
    ASSERT_TRUE(ReachView(SMainView::kViewHome));
    ASSERT_TRUE(PumpUntil([&] { return !View().IsReconnectRunning(); }));
    EXPECT_TRUE(Connected(kPlusText));
    EXPECT_EQ(CountInLog("ThreadReconnectDevice++++"), 1);
    EXPECT_EQ(CountInLog("ThreadReconnectDevice----"), 1);
    EXPECT_EQ(View().GetHomeView().GetDeviceCluster().GetModel(), "VX-R175");
}

TEST_F(ConnectResultTest, ClosingTheWindowEndsAReconnectThatNeverSucceeds) {
    Start(json::array({Plus({{"paired", true}, {"inRange", false}})}));
    View().ReconnectDevice(&plus);
    // A second request while one runs would race it: no second thread.
    View().ReconnectDevice(&plus);
    ASSERT_TRUE(PumpUntil([] { return CountInLog("ThreadReconnectDevice: tryCount[0]") == 1; }));
    EXPECT_EQ(CountInLog("Reconnect already running"), 1);
    const auto started = std::chrono::steady_clock::now();
    DestroyFrame();
    EXPECT_FALSE(View().IsReconnectRunning());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

}  // namespace
