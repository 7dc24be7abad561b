// The firmware update screen on the headless backend: what each step of an update shows (the
// check, the download, the copy to the earbuds, the verdicts and the failures), the last-update
// date in Korean and English, and the version-check popup against a local update server.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/LastUpdateDate.h"
#include "app/SCheckFWVersionPopup.h"
#include "app/SFirmwareUpdateView.h"
#include "flow/FirmwareUpdateFlow.h"
#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "link/DeviceStatus.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SUtil.h"
#include "services/WebApiData.h"
#include "tests/app/ScreenTestSupport.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/services/LocalHttpServer.h"
#include "ui/SDialogFrame.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kPackageSize = 300000;

// Records the controller calls the screen makes.
class RecordingOwner : public RecordingMainView {
public:
    void ReconnectDevice(BluetoothDevice* device) override {
        ++reconnects;
        reconnected = device;
    }
    int reconnects = 0;
    BluetoothDevice* reconnected = nullptr;
};

// Runs a worker thread's call, as the link or the flow would make it, and waits for it.
void OnWorker(const std::function<void()>& call) {
    std::thread(call).join();
}

class FirmwareViewTest : public ScreenTest {
protected:
    FirmwareViewTest() {
        EnvironVar::SetIsNotifyUpdateFW(0);
        EnvironVar::SetUpdateFWStatus(1);
        EnvironVar::SetLastTimeUpdateFW(0);
        EnvironVar::SetSupportGuest(0);
        server.server().Get("/fw/package.bin", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(kPackageSize, 'x'), "application/octet-stream");
        });
        server.start();
        CreateFrame(408, 230);
        view.SetBluetoothHandle(&link);
        view.SetMainViewDelegate(&owner);
        view.SetMessageRunner([this](const std::string& title, const std::string& text, int type,
                                     const std::vector<std::string>& captions) {
            messages.push_back(title + " | " + text);
            lastCaptions = captions;
            lastType = type;
            if (duringMessage) {
                duringMessage();
            }
            return answer;
        });
        view.SetVersionCheckRunner([this]() -> std::optional<WEBAPI_FIRMWARE_VERSION> {
            ++checks;
            return serverAnswer;
        });
        view.Create("_firmwareUpdateView", &frame.root, SMargin(0, 0, 0, 0), SSize());
        Advance(50);
    }

    ~FirmwareViewTest() override { view.Shutdown(); }

    WEBAPI_FIRMWARE_VERSION Answer(const std::string& version) {
        WEBAPI_FIRMWARE_VERSION answer;
        answer.version = version;
        answer.url = server.url("/fw/package.bin?model=VX-R175&file=VX-R175_" + version + ".bin");
        answer.notes = {{"ENG", "Better sound.\nLonger battery life."}, {"DEU", "Besser."}};
        answer.notesKorean = "음질 향상";
        return answer;
    }

    // A connect result, as the link hands it to its receivers: the flow, then the screen.
    void ConnectResult(bool connected, BluetoothDevice* device) {
        view.GetFlow()->OnDeviceConnected(connected, device);
        view.OnDeviceConnected(connected, device);
    }

    void ReportVersions(const std::string& left, const std::string& right) {
        OnWorker([&] { view.GetFlow()->OnDeviceVersionChange(left, right); });
        Advance(10);
    }

    // The check button, then whatever the size request and the posts bring.
    // In state 0 the check ends with a message.
    bool CheckAndWaitFor(int state) {
        ClickOn(view.GetCheckButton());
        return WaitFor([&] {
            return view.GetViewState() == state &&
                   (state != SFirmwareUpdateView::kStateCheck || !messages.empty());
        });
    }

    // The size request runs on a thread of its own: real time passes meanwhile.
    bool WaitFor(const std::function<bool()>& done) {
        return testing_support::eventually([&] {
            Advance(5);
            return done();
        });
    }

    void Offer() {
        ReportVersions("1.5.0", "1.5.0");
        serverAnswer = Answer("2.2.0");
        ASSERT_TRUE(CheckAndWaitFor(SFirmwareUpdateView::kStateAvailable));
    }

    double ContentHeight() { return view.GetContentExtent().height; }

    testing_support::LocalHttpServer server;
    BluetoothHandle link{std::make_shared<platform::bluetooth::SimBackend>(
        testing_support::sandboxFolder() / "no-sim.sock")};
    SFirmwareUpdateView view;
    RecordingOwner owner;
    std::vector<std::string> messages;
    std::vector<std::string> lastCaptions;
    int lastType = -1;
    int answer = 1;
    std::function<void()> duringMessage;
    std::optional<WEBAPI_FIRMWARE_VERSION> serverAnswer;
    int checks = 0;
};

TEST_F(FirmwareViewTest, TheFirstStateShowsTheVersionAndTheCheckButtonOnly) {
    ReportVersions("1.4.0", "1.5.0");
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateCheck);
    EXPECT_EQ(view.GetCurrentVersionLabel().GetText(),
              AfxGetStrRes("MSG_Pelk_CurrentSoftwareVersion") + ": 1.4.0");
    EXPECT_EQ(view.GetCurrentVersionLabel().GetTextColor(), SFirmwareUpdateView::kVersionColour);
    EXPECT_EQ(view.GetCheckButton().GetText(), AfxGetStrRes("MNU_CheckUpdate"));
    EXPECT_EQ(view.GetCheckButton().GetName(), "Button CheckFimwareUpdate");
    EXPECT_NE(view.GetCheckPanel().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetDownloadPanel().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetDescriptionPanel().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetCautionPanel().GetOwnVisible(), 0);
    // Never updated: no date line, and no badge without news.
    EXPECT_EQ(view.GetLastUpdateLabel().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetBadge().GetOwnVisible(), 0);
}

TEST_F(FirmwareViewTest, HugeReleaseNotesStillShowShortened) {
    ReportVersions("1.5.0", "1.5.0");
    serverAnswer = Answer("2.2.0");
    std::string notes;
    while (notes.size() < 900 * 1024) {
        notes += "Improves the connection to phones of every kind. ";
    }
    serverAnswer->notes = {{"ENG", notes}};
    ASSERT_TRUE(CheckAndWaitFor(SFirmwareUpdateView::kStateAvailable));
    const std::string shown = view.GetDescriptionLabel().GetText();
    EXPECT_LT(shown.size(), 2000u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "\xE2\x80\xA6");
    // Measured and drawable: a text box is drawn only up to 4000 pixels, at zoom 4 as well.
    EXPECT_GT(view.GetNotesHeight(), 20);
    EXPECT_LT(view.GetNotesHeight() * 4, 4000);
}

TEST_F(FirmwareViewTest, ACheckWithNewerFirmwareShowsVersionSizeAndNotes) {
    Offer();
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(view.GetAvailableLabel().GetText(), AfxGetStrRes("MSG_SoftwareUpdateAvailable"));
    EXPECT_EQ(view.GetVersionLabel().GetText(), AfxGetStrRes("MSG_Version") + ": 2.2.0");
    EXPECT_EQ(view.GetSizeLabel().GetText(), AfxGetStrRes("MNU_Size") + ": 293 KB");
    EXPECT_EQ(view.GetDescriptionLabel().GetText(), "Better sound.\nLonger battery life.");
    EXPECT_NE(view.GetUpdateButton().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetUpdateButton().GetText(), AfxGetStrRes("MNU_Zephiro_Update"));
    EXPECT_EQ(view.GetProgressPanel().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetDownloadPanel().GetSize().height, 135);
    EXPECT_GT(view.GetNotesHeight(), 20);  // two lines
    EXPECT_DOUBLE_EQ(ContentHeight(), view.GetNotesHeight() + 261);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 1);
    const std::string detail = view.GetCautionDetailLabel().GetText();
    EXPECT_EQ(detail, "\xE2\x80\xA2 " + AfxGetStrRes("MSG_CautionsDescription") +
                          "\n\xE2\x80\xA2 " + AfxGetStrRes("MSG_CautionsDescription2"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(FirmwareViewTest, TheSameVersionIsNotOfferedAndTheBadgeStaysOff) {
    ReportVersions("2.2.0", "2.2.0");
    serverAnswer = Answer("2.2.0");
    ASSERT_TRUE(CheckAndWaitFor(SFirmwareUpdateView::kStateCheck));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], AfxGetStrRes("MNU_FirmwareUpdateTitle") + " | " +
                               AfxGetStrRes("MSG_SoftwareUpdateFailDescription2"));
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 0);
    EXPECT_EQ(view.GetBadge().GetOwnVisible(), 0);
}

TEST_F(FirmwareViewTest, AFailedCheckTellsTheInternetIsUnavailable) {
    serverAnswer = std::nullopt;
    ClickOn(view.GetCheckButton());
    Advance(20);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], AfxGetStrRes("MNU_FirmwareUpdateTitle") + " | " +
                               AfxGetStrRes("MSG_InternetUnavailableDescription"));
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateCheck);
}

TEST_F(FirmwareViewTest, DownloadThenCopyShowTheirProgressAgainstThePackageSize) {
    Offer();
    OnWorker([&] { view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_DOWNLOAD); });
    Advance(10);
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateDownloading);
    EXPECT_EQ(view.GetAvailableLabel().GetText(), AfxGetStrRes("MSG_Kestrane_DownloadingSoftware"));
    EXPECT_EQ(view.GetUpdateButton().GetOwnVisible(), 0);
    EXPECT_NE(view.GetProgressPanel().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetDownloadPanel().GetSize().height, 118);
    EXPECT_DOUBLE_EQ(ContentHeight(), view.GetNotesHeight() + 244);
    EXPECT_EQ(view.GetPercentLabel().GetText(), "");

    // Many reports before the UI thread gets to them: the newest is shown.
    OnWorker([&] {
        for (int percent = 1; percent <= 40; ++percent) {
            view.OnFlowDownloadProgress(percent, kPackageSize * percent / 100);
        }
    });
    Advance(10);
    EXPECT_EQ(view.GetProgressBar().GetPos(), 40);
    EXPECT_EQ(view.GetPercentLabel().GetText(), "40%");
    EXPECT_EQ(view.GetCounterLabel().GetText(), "117 KB/293 KB");

    OnWorker([&] {
        view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_DOWNLOAD_COMPLETE);
        view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY);
    });
    Advance(10);
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateCopying);
    EXPECT_EQ(view.GetAvailableLabel().GetText(), AfxGetStrRes("MSG_Kestrane_CopyingingToEarbuds"));
    EXPECT_EQ(view.GetProgressBar().GetPos(), 0);
    OnWorker([&] { view.OnFlowTransferProgress(75, kPackageSize * 3 / 4); });
    Advance(10);
    EXPECT_EQ(view.GetPercentLabel().GetText(), "75%");
    EXPECT_EQ(view.GetCounterLabel().GetText(), "220 KB/293 KB");
}

TEST_F(FirmwareViewTest, SuccessReconnectsAndReturnsToTheFirstStateWithTheDate) {
    Offer();
    OnWorker([&] { view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY); });
    Advance(10);
    BluetoothDevice earbuds("Auralis2", 0x705AB6014F2Aull);
    // What the flow has done by the time it reports success, and the earbuds coming back
    // while the success message is open.
    // Another pair was updated before: its date is not this pair's.
    EnvironVar::SetLastTimeUpdateFW("70:5A:B6:00:77:A0", 1700000000u);
    OnWorker([&] { ConnectResult(true, &earbuds); });
    view.SetViewState(SFirmwareUpdateView::kStateCheck);
    EXPECT_EQ(view.GetLastUpdateLabel().GetOwnVisible(), 0);
    view.SetViewState(SFirmwareUpdateView::kStateCopying);
    EnvironVar::SetLastTimeUpdateFW("70:5A:B6:01:4F:2A", static_cast<uint32_t>(std::time(nullptr)));
    EnvironVar::SetIsNotifyUpdateFW(0);
    duringMessage = [&] {
        OnWorker([&] { ConnectResult(true, &earbuds); });
        OnWorker([&] { view.GetFlow()->OnDeviceVersionChange("2.2.0", "2.2.0"); });
    };
    OnWorker([&] { view.OnFlowFinish(true, 0); });
    Advance(10);
    EXPECT_EQ(owner.reconnects, 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], AfxGetStrRes("MNU_FirmwareUpdateTitle") + " | " +
                               AfxGetStrRes("MSG_SoftwareUpdateSuccessDescription"));
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateCheck);
    // Back with the earbuds: no connecting screen.
    EXPECT_TRUE(owner.views.empty());
    EXPECT_EQ(view.GetCurrentVersionLabel().GetText(),
              AfxGetStrRes("MSG_Pelk_CurrentSoftwareVersion") + ": 2.2.0");
    EXPECT_NE(view.GetLastUpdateLabel().GetOwnVisible(), 0);
    EXPECT_EQ(view.GetLastUpdateLabel().GetText().rfind(AfxGetStrRes("MSG_LastUpdate") + ": ", 0),
              0u);
}

TEST_F(FirmwareViewTest, ADownloadThatFailsShowsTheCauseTheWebRequestGave) {
    BluetoothDevice earbuds("Auralis2", 0x705AB6014F2Aull);
    OnWorker([&] { ConnectResult(true, &earbuds); });
    DeviceStatus status;
    status.batteryLeft = 80;
    status.batteryRight = 80;
    status.wearingDetection = 0x11;
    OnWorker([&] { view.GetFlow()->OnDeviceStatusChange(status); });
    ReportVersions("1.5.0", "1.5.0");
    serverAnswer = Answer("2.2.0");
    serverAnswer->url =
        "http://127.0.0.1:" + std::to_string(testing_support::LocalHttpServer::closedPort()) +
        "/fw?model=VX-R170&file=p.bin";
    ASSERT_TRUE(CheckAndWaitFor(SFirmwareUpdateView::kStateAvailable));
    ClickOn(view.GetUpdateButton());
    ASSERT_TRUE(WaitFor([&] { return !messages.empty(); }));
    // The screen's own words, then the cause as the web request and the flow told it.
    const std::string told =
        AfxGetStrRes("MNU_FirmwareUpdateTitle") + " | " +
        AfxGetStrRes("MSG_InternetUnavailableDescription") + "\n" +
        AfxGetStrResFormat("MSG_ErrorCause", 1,
                           "download: no connection to the server could be made (");
    EXPECT_EQ(messages[0].rfind(told, 0), 0u) << messages[0];
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateCheck);
}

TEST_F(FirmwareViewTest, SuccessWithoutTheEarbudsBackShowsTheConnectingScreen) {
    Offer();
    OnWorker([&] { view.OnFlowFinish(true, 0); });
    Advance(10);
    EXPECT_EQ(owner.reconnects, 1);
    EXPECT_EQ(owner.views, std::vector<int>{1});
}

TEST_F(FirmwareViewTest, AFailureShowsItsReasonOnceAndOffersTheUpdateAgain) {
    Offer();
    OnWorker([&] { view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY); });
    Advance(10);
    // The same reason twice in one transfer: one message.
    OnWorker([&] {
        view.OnFlowFinish(false, 3);
        view.OnFlowFinish(false, 3);
    });
    Advance(10);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], AfxGetStrRes("MNU_Pelk_UpdateFailTitle") + " | " +
                               AfxGetStrRes("MSG_Pelk_UpdateFailDescription1") + " " +
                               AfxGetStrRes("MSG_UpdateRefusedAdvice") + "\nErrorCode[3]");
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateAvailable);
    EXPECT_EQ(owner.reconnects, 0);

    // A new transfer handles the same reason again.
    OnWorker([&] { view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY); });
    OnWorker([&] { view.OnFlowFinish(false, 3); });
    Advance(10);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(FirmwareViewTest, ReasonFourteenReturnsToTheFirstStateWithoutAMessage) {
    Offer();
    OnWorker([&] { view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY); });
    OnWorker([&] { view.OnFlowFinish(false, FirmwareUpdateFlow::kReasonRetry); });
    Advance(10);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateCheck);
}

TEST_F(FirmwareViewTest, EachFailureSaysWhatHappenedAndLeadsWhereTheUserCanGoOn) {
    const std::string update = AfxGetStrRes("MNU_FirmwareUpdateTitle") + " | ";
    const std::string failed = AfxGetStrRes("MNU_Pelk_UpdateFailTitle") + " | ";
    constexpr int kAny = -1;
    const struct {
        const char* what;
        std::function<void()> event;
        std::string message;
        int state;
        std::vector<int> views;
    } cases[] = {
        {"no connection",
         [&] { view.OnFlowInternetUnavailable(base::Error("no route", WEBAPI_ERROR_NETWORK)); },
         update + AfxGetStrRes("MSG_InternetUnavailableDescription") + "\n" +
             AfxGetStrResFormat("MSG_ErrorCause", 1, "no route"),
         SFirmwareUpdateView::kStateCheck,
         {}},
        {"no update server set",
         [&] { view.OnFlowInternetUnavailable(base::Error("none", WEBAPI_ERROR_NO_SERVER)); },
         update +
             AfxGetStrResFormat("MSG_NoUpdateServer", 1, SUtil::GetUserFolder() + "/setting.xml"),
         SFirmwareUpdateView::kStateCheck,
         {}},
        {"server error",
         [&] { view.OnFlowInternetUnavailable(base::Error("HTTP 500", 500)); },
         update + AfxGetStrResFormat("MSG_UpdateServerError", 1, "HTTP 500"),
         SFirmwareUpdateView::kStateCheck,
         {}},
        {"download interrupted",
         [&] { view.OnFlowInternetUnavailable(base::Error("", WEBAPI_ERROR_INTERRUPTED)); },
         update + AfxGetStrRes("MSG_DownloadInterrupted"),
         SFirmwareUpdateView::kStateCheck,
         {}},
        {"disk full",
         [&] { view.OnFlowInternetUnavailable(base::Error("full", WEBAPI_ERROR_DISK_FULL)); },
         update + AfxGetStrRes("MSG_DiskFullForUpdate"),
         SFirmwareUpdateView::kStateCheck,
         {}},
        {"refused address",
         [&] { view.OnFlowInternetUnavailable(base::Error("ftp", WEBAPI_ERROR_BAD_ADDRESS)); },
         update + AfxGetStrRes("MSG_UpdateAddressRefused"),
         SFirmwareUpdateView::kStateCheck,
         {}},
        {"package damaged",
         [&] { view.OnFlowPackageRefused(base::Error("the package is cut short")); },
         failed + AfxGetStrRes("MSG_FirmwarePackageDamaged") + "\n" +
             AfxGetStrResFormat("MSG_ErrorCause", 1, "the package is cut short"),
         SFirmwareUpdateView::kStateCheck,
         {}},
        {"pair lost during the download",
         [&] { view.OnFlowPairLost(); },
         failed + AfxGetStrRes("MSG_EarbudsLostDuringDownload"),
         SFirmwareUpdateView::kStateCheck,
         {3}},
        {"link closed during the transfer",
         [&] { view.OnFlowBluetoothUnavailable(FlowLinkLoss::Closed); },
         failed + AfxGetStrRes("MSG_EarbudsLinkLostDuringUpdate"),
         kAny,
         {0}},
        {"silent for 20 s",
         [&] { view.OnFlowBluetoothUnavailable(FlowLinkLoss::Silent); },
         failed + AfxGetStrRes("MSG_EarbudsSilentDuringUpdate"),
         kAny,
         {0}},
        {"transfer not opened",
         [&] { view.OnFlowBluetoothUnavailable(FlowLinkLoss::NotReady); },
         AfxGetStrRes("MNU_BluetoothUnavailable") + " | " +
             AfxGetStrRes("MSG_BluetoothUnavailableDescription2"),
         kAny,
         {0}},
        {"earbuds refused",
         [&] { view.OnFlowFinish(false, 2); },
         failed + AfxGetStrRes("MSG_Pelk_UpdateFailDescription1") + " " +
             AfxGetStrRes("MSG_UpdateRefusedAdvice") + "\nErrorCode[2]",
         SFirmwareUpdateView::kStateAvailable,
         {}},
    };
    std::set<std::string> texts;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The screen behind a connection loss is another; here the check starts anew.
        view.SetViewState(SFirmwareUpdateView::kStateCheck);
        Offer();
        OnWorker([&] { view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_DOWNLOAD); });
        Advance(10);
        messages.clear();
        owner.views.clear();
        OnWorker(c.event);
        Advance(10);
        ASSERT_EQ(messages.size(), 1u) << "one message, no second dialog";
        EXPECT_EQ(messages[0], c.message);
        if (c.state != kAny) {
            EXPECT_EQ(view.GetViewState(), c.state);
        }
        EXPECT_EQ(owner.views, c.views);
        texts.insert(messages[0]);
    }
    EXPECT_EQ(texts.size(), std::size(cases)) << "every case has a text of its own";
    OnWorker([&] { view.OnFlowDeviceLost(); });
    Advance(10);
    EXPECT_EQ(owner.views, std::vector<int>{3});
}

TEST_F(FirmwareViewTest, TheMismatchQuestionIsAskedOnTheUiThreadAndRunsTheCheck) {
    ReportVersions("1.5.0", "1.4.0");
    serverAnswer = Answer("2.2.0");
    OnWorker([&] { view.OnDeviceVersionMismatch(); });
    EXPECT_TRUE(messages.empty());  // not on the listener thread
    Advance(10);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], AfxGetStrRes("MNU_FirmwareUpdateTitle") + " | " +
                               AfxGetStrRes("MSG_SoftwareVersionMismatch"));
    EXPECT_EQ(lastType, 1);
    EXPECT_EQ(lastCaptions, (std::vector<std::string>{AfxGetStrRes("MNU_Zephiro_Update"),
                                                      AfxGetStrRes("MNU_Zephiro_Cancel")}));
    EXPECT_EQ(checks, 1);
    ASSERT_TRUE(WaitFor([&] { return view.GetViewState() == 1; }));
    EXPECT_EQ(view.GetViewState(), SFirmwareUpdateView::kStateAvailable);
    // Current version: the lower of the two.
    EXPECT_EQ(view.GetCurrentVersion(), "1.4.0");

    answer = 2;  // Cancel
    OnWorker([&] { view.OnDeviceVersionMismatch(); });
    Advance(10);
    EXPECT_EQ(checks, 1);
}

TEST_F(FirmwareViewTest, TheBadgeSitsBesideTheCheckButtonWhileNewsIsKnown) {
    EnvironVar::SetIsNotifyUpdateFW(1);
    view.SetViewState(SFirmwareUpdateView::kStateCheck);
    Advance(10);
    ASSERT_NE(view.GetBadge().GetOwnVisible(), 0);
    const SRect button = view.GetCheckButton().GetRect(SWindowBase::kRectInParent, 1);
    const SRect badge = view.GetBadge().GetRect(SWindowBase::kRectInParent, 1);
    EXPECT_NEAR(badge.left, button.right + SFirmwareUpdateView::kBadgeGap, 0.5);
    EXPECT_NEAR((badge.top + badge.bottom) / 2, (button.top + button.bottom) / 2, 0.5);
    EXPECT_NEAR(badge.Width(), SFirmwareUpdateView::kBadgeSize, 0.5);
}

// ---------------------------------------------------------------- last-update date

class LastUpdateDateTest : public ::testing::Test {
protected:
    LastUpdateDateTest() : m_zone(std::make_unique<testing_support::ScopedEnv>("TZ", "UTC")) {
        tzset();
    }
    ~LastUpdateDateTest() override {
        m_zone.reset();
        tzset();
    }

private:
    std::unique_ptr<testing_support::ScopedEnv> m_zone;
};

TEST_F(LastUpdateDateTest, KoreanAndEnglishDatesReadAsTheirReadersExpect) {
    const uint32_t december = 1796748480;  // 2026-12-08 16:48 UTC
    const uint32_t may = 1777799100;       // 2026-05-03 09:05 UTC
    EXPECT_EQ(LastUpdateDate::Format(december, "en-US"), "Dec 08, 2026 04:48 PM");
    // A month whose full name is three letters long is written in full.
    EXPECT_EQ(LastUpdateDate::Format(may, "en-US"), "May 03, 2026 09:05 AM");
    if (LastUpdateDate::Format(december, "ko-KR").find("PM") != std::string::npos) {
        GTEST_SKIP() << "the ko_KR.UTF-8 locale is not installed (scripts/setup.sh)";
    }
    EXPECT_EQ(LastUpdateDate::Format(december, "ko-KR"), "2026년 12월 08일, 오후 04:48");
    EXPECT_EQ(LastUpdateDate::Format(may, "ko-KR"), "2026년 5월 03일, 오전 09:05");
}

TEST_F(LastUpdateDateTest, AMissingLocaleFallsBackToEnglish) {
    EXPECT_EQ(LastUpdateDate::Format(1796748480, "xx-XX"), "Dec 08, 2026 04:48 PM");
    EXPECT_EQ(LastUpdateDate::LocaleName("ko-KR"), "ko_KR.UTF-8");
}

// ---------------------------------------------------------------- the version-check popup

class CheckPopupTest : public ScreenTest {
protected:
    CheckPopupTest() {
        SCheckFWVersionPopup::SetAnswerPause(30ms);
        EnvironVar::SetSupportGuest(0);
        CreateFrame(408, 459);
    }
    ~CheckPopupTest() override {
        SCheckFWVersionPopup::SetAnswerPause(1000ms);
        EnvironVar::Reload();
    }

    // Shows the popup; the clock moves on while its loop runs. Notes whether the spinner
    // played while the popup was open.
    int ShowModal(SCheckFWVersionPopup& popup) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        spinnerSeen = false;
        RunInLoop([this, done, &popup] {
            if (!done->load() && popup.GetDialog() != nullptr &&
                popup.GetLoadingControl().GetVisible() != 0) {
                spinnerSeen = true;
            }
            std::this_thread::sleep_for(1ms);
            return done->load();
        });
        const int result = popup.Show();
        done->store(true);
        Pump();
        return result;
    }

    bool spinnerSeen = false;
};

TEST_F(CheckPopupTest, AnAnswerFillsTheResultsWithTheNotesOfTheLanguage) {
    testing_support::LocalHttpServer server;
    std::atomic<int> requests{0};
    std::string model;
    server.server().Get(
        "/firmware/latest", [&](const httplib::Request& req, httplib::Response& res) {
            ++requests;
            model = req.get_param_value("model");
            res.set_content(R"({"version":"2.2.0","url":"http://127.0.0.1/fw?a=1&file=p.bin",
            "flag":3,"notes":{"ENG":"English notes","ESP":"Notas","ESP_LAT":"Notas LAT"},
            "extra":"x","notesKorean":"한국어"})",
                            "application/json");
        });
    server.start();
    testing_support::ScopedEnv url("AURALIS_UPDATE_URL", server.url());
    testing_support::ScopedEnv language("AURALIS_LANG", "es-MX");
    EnvironVar::Reload();

    SCheckFWVersionPopup popup(&frame, "VX-R175");
    EXPECT_EQ(SCheckFWVersionPopup::GetLivePopup(), &popup);
    EXPECT_EQ(popup.GetError(), SCheckFWVersionPopup::kErrorNotAsked);
    EXPECT_EQ(popup.GetTitleText(), AfxGetStrRes("MNU_CheckUpdate"));
    EXPECT_EQ(ShowModal(popup), 1);
    EXPECT_TRUE(spinnerSeen);
    EXPECT_EQ(popup.GetError(), 0);
    EXPECT_EQ(requests.load(), 1);
    EXPECT_EQ(model, "VX-R175");
    EXPECT_EQ(popup.GetBodyText(), AfxGetStrRes("MSG_UpdateCheckVerify"));
    EXPECT_EQ(popup.GetNewVersion(), "2.2.0");
    EXPECT_EQ(popup.GetDownloadUrl(), "http://127.0.0.1/fw?a=1&file=p.bin");
    EXPECT_EQ(popup.GetFlag(), 3);
    EXPECT_EQ(popup.GetExtra(), "x");
    EXPECT_EQ(popup.GetReleaseNotes(), "Notas LAT");
    EXPECT_EQ(popup.GetReleaseNotesKorean(), "한국어");
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
}

TEST_F(CheckPopupTest, AnUnreachableServerEndsThePopupWithTheError) {
    testing_support::ScopedEnv url(
        "AURALIS_UPDATE_URL",
        "http://127.0.0.1:" + std::to_string(testing_support::LocalHttpServer::closedPort()));
    SCheckFWVersionPopup popup(&frame, "VX-R175");
    EXPECT_EQ(ShowModal(popup), 1);
    EXPECT_EQ(popup.GetError(), WEBAPI_ERROR_NETWORK);
    EXPECT_EQ(popup.GetNewVersion(), "");
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
}

TEST_F(CheckPopupTest, WithoutAParentItReturnsAtOnceAsAFailure) {
    SCheckFWVersionPopup popup(nullptr, "VX-R175");
    EXPECT_EQ(popup.Show(), 0);
    EXPECT_NE(popup.GetError(), 0);
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
    // Without a dialog, an answer signals the done event instead.
    WEBAPI_DATA failure{WRT_ERROR, WEBAPI_ERROR_NETWORK, 0, nullptr, nullptr};
    EXPECT_TRUE(SCheckFWVersionPopup::WebApiCallback(&failure));
    EXPECT_TRUE(popup.GetDoneEvent().isSignalled());
    EXPECT_FALSE(SCheckFWVersionPopup::WebApiCallback(nullptr));
    WEBAPI_DATA other{WRT_PROGRESS, 0, 0, nullptr, nullptr};
    EXPECT_FALSE(SCheckFWVersionPopup::WebApiCallback(&other));
}

}  // namespace
}  // namespace app_test
