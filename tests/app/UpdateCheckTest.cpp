// The application update check against a local update server: the comparison with the local
// version, the silent start-up check, the question and its "don't remind me" box, the
// latest-version popup, starting the update client, and the network messages.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>

#include "app/AboutTesselPanel.h"
#include "app/SAboutDialog.h"
#include "app/SCheckVersionDlg.h"
#include "app/SLastestVersionDlg.h"
#include "app/SNeedUpdateDlg.h"
#include "app/SUpdater.h"
#include "link/BluetoothHandle.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SSetting.h"
#include "services/SUtil.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/DialogScript.h"
#include "tests/common/TestSandbox.h"
#include "tests/services/LocalHttpServer.h"
#include "ui/SMessageTextPanel.h"
#include "ui/SPopupDialog.h"

using app_test::CountInLog;
using app_test::DialogScript;
using testing_support::ScopedEnv;
using namespace std::chrono_literals;

namespace {

// The update server's application answer, held back until the test lets it go.
class AppServer {
public:
    AppServer() {
        m_http.server().Get("/app/latest", [this](const httplib::Request&, httplib::Response& res) {
            ++requests;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_released.wait_for(lock, 10s, [this] { return m_open; });
            }
            nlohmann_answer(res);
        });
        m_http.start();
    }
    void Hold() {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_open = false;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_open = true;
        }
        m_released.notify_all();
    }
    std::string Base() const { return m_http.url(""); }
    std::string InstallerUrl() const {
        return m_http.url("/app/download/LumoraAuralisManagerSetup-" + version + ".sh");
    }

    std::string version = "1.0.0.5";
    std::atomic<int> requests{0};

private:
    void nlohmann_answer(httplib::Response& res) {
        res.set_content(
            "{\"version\":\"" + version + "\",\"url\":\"" + InstallerUrl() + "\",\"notice\":\"\"}",
            "application/json");
    }

    testing_support::LocalHttpServer m_http;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_open = true;
};

struct Launch {
    std::string path;
    std::vector<std::string> args;
};

class UpdateCheckTest : public app_test::MainFrameTest {
protected:
    UpdateCheckTest()
        : m_url("AURALIS_UPDATE_URL", server.Base()),
          m_local("AURALIS_LOCAL_VERSION", "1_0_0_4"),
          m_online("AURALIS_OFFLINE", "0") {
        SCheckVersionDlg::SetAnswerDelay(0ms);
        EnvironVar::SetIsNotifyUpdate(1);
        m_settingsPath = (testing_support::makeTempFolder("settings") / "setting.xml").string();
        AfxGetSetting()->Load(m_settingsPath, 0);
        SUpdater::SetLauncher(
            [this](const std::string& path, const std::vector<std::string>& args) {
                std::lock_guard<std::mutex> guard(m_launchMutex);
                launches.push_back(Launch{path, args});
                return true;
            });
    }
    ~UpdateCheckTest() override {
        server.Release();
        DestroyFrame();
        link.shutdown(5s);
        SUpdater::SetLauncher(nullptr);
        SCheckVersionDlg::SetAnswerDelay(1000ms);
        SCheckVersionDlg::SetWaitLimit(90000ms);
        EnvironVar::SetIsNotifyUpdate(1);
    }

    SMenuEntry* AboutEntry() {
        return frame->GetTitleBar().GetMenu("WindowMenu")->FindCommand(604);
    }
    bool Marked() { return AboutEntry()->IsChecked(); }
    // The start-up check has compared the versions and handed on to the next work item.
    bool StartUpCheckCompared() { return CountInLog("SUpdater: _localVersion") >= 1; }
    std::string SettingsFile() {
        std::ifstream file(m_settingsPath);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // Runs the script to its end (bounded) and reports where it stopped.
    void Play(DialogScript& script, const std::function<void()>& start = nullptr) {
        script.Start();
        if (start) {
            start();
        }
        EXPECT_TRUE(PumpUntil([&] { return script.Done(); }, 15s))
            << "still waiting for: " << script.Waiting();
    }
    // Opens the about dialog from the menu's command, as choosing the entry does.
    std::function<void()> OpenAbout() {
        return [this] { backend.postCall([this] { frame->OnCommand(604); }); };
    }
    static SPopupDialog* Popup(const std::string& content) {
        return dynamic_cast<SPopupDialog*>(DialogScript::FindDialog(content));
    }
    static SAboutDialog* About() {
        return dynamic_cast<SAboutDialog*>(DialogScript::FindDialog("AboutTesselPanel"));
    }
    // The about dialog is open and usable again (the check's dialogs have closed).
    static bool AboutReady() {
        SAboutDialog* about = About();
        return about != nullptr && about->GetWindow()->isEnabled() &&
               SDialogFrame::GetOpenDialogs().back() == about;
    }

    // Opens the about dialog, presses its check button, hands the popup of that content it leads
    // to to answer (which closes it) and closes the about dialog again.
    void CheckFromAbout(const std::string& what, const std::string& content,
                        const std::function<void(SPopupDialog*)>& answer,
                        const std::function<void()>& open = nullptr) {
        DialogScript script(backend);
        script
            .Then(
                "the about dialog", [&] { return AboutReady(); },
                [&] { About()->GetPanel().GetCheckUpdateButton().PerformClick(); })
            .Then(
                what, [&] { return Popup(content) != nullptr; }, [&] { answer(Popup(content)); })
            .Then(
                "the about dialog again", [&] { return AboutReady(); },
                [&] { About()->CloseDialog(0); });
        Play(script, open ? open : OpenAbout());
    }

    // Checks from the about dialog, reads the text of the popup it leads to (content names its
    // class) and answers OK; returns the text.
    template <typename Content>
    std::string CheckFromAboutAndRead(const std::string& what, const std::string& content) {
        std::string text;
        CheckFromAbout(what, content, [&](SPopupDialog* popup) {
            text = dynamic_cast<Content*>(DialogScript::FindContent(popup, content))->GetText();
            DialogScript::PressButton(popup, "OK");
        });
        return text;
    }

    std::string CheckFromAboutAndReadTheMessage() {
        return CheckFromAboutAndRead<SMessageTextPanel>("the message", "SMessageTextPanel");
    }

    AppServer server;
    BluetoothHandle link;
    std::mutex m_launchMutex;
    std::vector<Launch> launches;

private:
    ScopedEnv m_url;
    ScopedEnv m_local;
    ScopedEnv m_online;
    std::string m_settingsPath;
};

TEST_F(UpdateCheckTest, StartUpFindsANewerVersionMarksTheMenuAndAsks) {
    SNeedUpdateDlg* question = nullptr;
    DialogScript script(backend);
    script.Then(
        "the question",
        [&] {
            SPopupDialog* popup = Popup("SNeedUpdateDlg");
            question =
                dynamic_cast<SNeedUpdateDlg*>(DialogScript::FindContent(popup, "SNeedUpdateDlg"));
            return question != nullptr;
        },
        [&] {
            EXPECT_TRUE(Marked());
            EXPECT_NE(question->GetText().find("Auralis Manager"), std::string::npos);
            EXPECT_EQ(question->GetReCheck().GetName(), "ReCheck");
            DialogScript::PressButton(Popup("SNeedUpdateDlg"), "Cancel");
        });
    Play(script, [&] { CreateFrame(&link); });
    // "1_0_0_4" is read as 1.0.0.4, older than the server's 1.0.0.5.
    EXPECT_EQ(CountInLog("SUpdater: _localVersion[1.0.0.4] _version[1.0.0.5]"), 1);
    ASSERT_TRUE(PumpUntil([&] { return SDialogFrame::GetOpenDialogs().empty(); }));
    // Cancel without the box: nothing changes, the program goes on, the mark stays.
    EXPECT_TRUE(frame->IsWindow());
    EXPECT_TRUE(Marked());
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdate(), 1);
    EXPECT_TRUE(launches.empty());
}

TEST_F(UpdateCheckTest, StartUpWithTheSameVersionSaysNothingAndClearsTheMark) {
    server.version = "1.0.0.4";
    server.Hold();
    CreateFrame(&link);
    frame->OnUpdateMark(1);
    server.Release();
    bool dialogSeen = false;
    ASSERT_TRUE(PumpUntil([&] {
        dialogSeen = dialogSeen || !SDialogFrame::GetOpenDialogs().empty();
        return StartUpCheckCompared() && !Marked();
    }));
    PumpFor(50ms);
    EXPECT_FALSE(dialogSeen);
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
    EXPECT_EQ(server.requests.load(), 1);
}

TEST_F(UpdateCheckTest, AskedForWithTheSameVersionShowsTheLatestVersionPopup) {
    server.version = "1.0.0.4";
    CreateFrame(&link);
    ASSERT_TRUE(PumpUntil([&] { return StartUpCheckCompared(); }));
    frame->OnUpdateMark(1);
    const std::string text =
        CheckFromAboutAndRead<SLastestVersionDlg>("the latest-version popup", "SLastestVersionDlg");
    EXPECT_EQ(text, "You have the latest version.\nInstalled version : Ver.1.0.0.4");
    EXPECT_FALSE(Marked());
    EXPECT_EQ(server.requests.load(), 2);
    EXPECT_TRUE(launches.empty());
}

// The main view's about button opens the same dialog, whose check marks the main window too.
TEST_F(UpdateCheckTest, TheMainViewsAboutButtonMarksTheMainWindowToo) {
    server.version = "1.0.0.4";
    CreateFrame(&link);
    ASSERT_TRUE(PumpUntil([&] { return StartUpCheckCompared(); }));
    // The start-up check clears the mark just after it compared: let it arrive first.
    PumpFor(300ms);
    frame->OnUpdateMark(1);
    CheckFromAbout(
        "the latest-version popup", "SLastestVersionDlg",
        [](SPopupDialog* popup) { DialogScript::PressButton(popup, "OK"); },
        [this] {
            backend.postCall([this] { frame->GetMainView().GetAboutButton().PerformClick(); });
        });
    EXPECT_FALSE(Marked());
}

TEST_F(UpdateCheckTest, NotificationsOffStartUpOnlyMarksButAskingShowsTheQuestion) {
    EnvironVar::SetIsNotifyUpdate(0);
    CreateFrame(&link);
    bool dialogSeen = false;
    ASSERT_TRUE(PumpUntil([&] {
        dialogSeen = dialogSeen || !SDialogFrame::GetOpenDialogs().empty();
        return StartUpCheckCompared() && Marked();
    }));
    PumpFor(50ms);
    EXPECT_FALSE(dialogSeen);

    CheckFromAbout("the question", "SNeedUpdateDlg",
                   [](SPopupDialog* popup) { DialogScript::PressButton(popup, "Cancel"); });
    EXPECT_TRUE(Marked());
}

TEST_F(UpdateCheckTest, TickingTheBoxAndCancellingSwitchesNotificationsOffAndSaves) {
    DialogScript script(backend);
    script.Then(
        "the question", [&] { return Popup("SNeedUpdateDlg") != nullptr; },
        [&] {
            auto* question = dynamic_cast<SNeedUpdateDlg*>(
                DialogScript::FindContent(Popup("SNeedUpdateDlg"), "SNeedUpdateDlg"));
            question->GetReCheck().PerformClick();
            DialogScript::PressButton(Popup("SNeedUpdateDlg"), "Cancel");
        });
    Play(script, [&] { CreateFrame(&link); });
    ASSERT_TRUE(PumpUntil([&] { return EnvironVar::GetIsNotifyUpdate() == 0; }));
    const std::string saved = SettingsFile();
    EXPECT_NE(saved.find("key=\"ReCheck\" value=\"1\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("key=\"LastVersion\" value=\"1.0.0.5\""), std::string::npos) << saved;
    EXPECT_TRUE(frame->IsWindow());
    EXPECT_TRUE(launches.empty());
}

TEST_F(UpdateCheckTest, UpdatingStartsTheClientWithVersionAndAddressAndCloses) {
    DialogScript script(backend);
    script.Then(
        "the question", [&] { return Popup("SNeedUpdateDlg") != nullptr; },
        [&] { DialogScript::PressButton(Popup("SNeedUpdateDlg"), "Update"); });
    Play(script, [&] { CreateFrame(&link); });
    ASSERT_TRUE(PumpUntil([&] { return !frame->IsWindow(); }));
    std::lock_guard<std::mutex> guard(m_launchMutex);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].path, EnvironVar::GetInstallPath() + "/AuralisManagerUpdateClient");
    const std::vector<std::string> expected{"/v", "1.0.0.5", "/u", server.InstallerUrl()};
    EXPECT_EQ(launches[0].args, expected);
    // What the client reads back from that argument vector.
    EXPECT_EQ(SUtil::GetArgvValue(launches[0].args, "/v"), "1.0.0.5");
    EXPECT_EQ(SUtil::GetArgvValue(launches[0].args, "/u"), server.InstallerUrl());
    EXPECT_EQ(CountInLog("ShellExecute = " + launches[0].path + " /v \"1.0.0.5\" /u \""), 1);
}

TEST_F(UpdateCheckTest, AClientThatCannotStartLeavesTheProgramRunning) {
    SUpdater::SetLauncher(
        [](const std::string&, const std::vector<std::string>&) { return false; });
    std::string message;
    DialogScript script(backend);
    script
        .Then(
            "the question", [&] { return Popup("SNeedUpdateDlg") != nullptr; },
            [&] { DialogScript::PressButton(Popup("SNeedUpdateDlg"), "Update"); })
        .Then(
            "the message", [&] { return Popup("SMessageTextPanel") != nullptr; },
            [&] {
                message =
                    dynamic_cast<SMessageTextPanel*>(
                        DialogScript::FindContent(Popup("SMessageTextPanel"), "SMessageTextPanel"))
                        ->GetText();
                DialogScript::PressButton(Popup("SMessageTextPanel"), "OK");
            });
    Play(script, [&] { CreateFrame(&link); });
    PumpFor(50ms);
    EXPECT_NE(message.find("could not be started"), std::string::npos);
    EXPECT_TRUE(frame->IsWindow());
}

TEST_F(UpdateCheckTest, WithoutAConnectionAskingShowsTheNetworkMessageAndMakesNoRequest) {
    server.version = "1.0.0.4";
    CreateFrame(&link);
    ASSERT_TRUE(PumpUntil([&] { return StartUpCheckCompared(); }));
    const int requests = server.requests.load();
    ScopedEnv offline("AURALIS_OFFLINE", "1");
    const std::string message = CheckFromAboutAndReadTheMessage();
    EXPECT_EQ(message, "You are not connected to the internet. Connect and try again.");
    EXPECT_EQ(server.requests.load(), requests);
}

TEST_F(UpdateCheckTest, AnUnreachableServerIsNotReportedAsUpToDate) {
    ScopedEnv unreachable(
        "AURALIS_UPDATE_URL",
        "http://127.0.0.1:" + std::to_string(testing_support::LocalHttpServer::closedPort()));
    CreateFrame(&link);
    frame->OnUpdateMark(1);
    ASSERT_TRUE(PumpUntil([&] { return StartUpCheckCompared(); }));
    PumpFor(50ms);
    // The start-up check stays silent and leaves the mark as it was.
    EXPECT_TRUE(Marked());
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
    const std::string message = CheckFromAboutAndReadTheMessage();
    EXPECT_NE(message.find("could not be reached"), std::string::npos);
    EXPECT_EQ(Popup("SLastestVersionDlg"), nullptr);
}

TEST_F(UpdateCheckTest, ClosingTheCheckPopupIsQuietAsForTheFirmwareCheck) {
    server.version = "1.0.0.4";
    CreateFrame(&link);
    ASSERT_TRUE(PumpUntil([&] { return StartUpCheckCompared(); }));
    server.Hold();
    // Closed before the server replied: back to the about dialog with no message over it.
    CheckFromAbout("the check popup", "SCheckVersionDlg",
                   [](SPopupDialog* popup) { popup->EndDialog(SPopupDialog::kResultClosed); });
    EXPECT_EQ(Popup("SMessageTextPanel"), nullptr);
    server.Release();
}

TEST_F(UpdateCheckTest, TheStartUpWaitForAnAnswerIsBounded) {
    server.Hold();
    SCheckVersionDlg::SetWaitLimit(200ms);
    CreateFrame(&link);
    frame->OnUpdateMark(1);
    // The worker gives up, the check ends silently and the mark stays as it was.
    ASSERT_TRUE(PumpUntil([&] { return StartUpCheckCompared(); }));
    EXPECT_EQ(CountInLog("no answer from the update server within 200 ms"), 1);
    PumpFor(50ms);
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
    EXPECT_TRUE(Marked());
    // A late answer reaches nobody.
    server.Release();
    PumpFor(100ms);
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
    EXPECT_TRUE(Marked());
}

TEST(SNeedUpdateDlgTest, TheTitleFollowsMexicanSpanishWordOrder) {
    EXPECT_EQ(SNeedUpdateDlg::Title("es-MX"), "Actualización Auralis Manager");
    EXPECT_EQ(SNeedUpdateDlg::Title("en-US"), "Auralis Manager Update");
    // Elsewhere the table's own title, not the button's verb after the product name.
    const std::string before = AfxGetLocale()->GetLanguage();
    ASSERT_TRUE(AfxGetLocale()->SetLocale("de-DE"));
    EXPECT_EQ(SNeedUpdateDlg::Title("de-DE"), "Auralis Manager aktualisieren");
    ASSERT_TRUE(AfxGetLocale()->SetLocale("fr-FR"));
    EXPECT_EQ(SNeedUpdateDlg::Title("fr-FR"), "Mise à jour d’Auralis Manager");
    AfxGetLocale()->SetLocale(before);
}

}  // namespace
