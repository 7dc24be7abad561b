// The update client against auralis-sim's update server, in this process on the headless
// window backend: downloads, retries, failures, cancellation and installing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>

#include <filesystem>
#include <fstream>

#include "platform/Paths.h"
#include "services/WebApiData.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/LoopbackListener.h"
#include "tests/updater/UpdateClientHarness.h"
#include "ui/SPopupDialog.h"
#include "updater/SGUIMain.h"
#include "updater/STesselDownloadDlg.h"
#include "updater/SUpdatePanel.h"

namespace updater_test {
namespace {

namespace fs = std::filesystem;
using Captions = std::vector<std::string>;

const Captions kFailureButtons = {"Retry", "Cancel"};
const Captions kNoticeButtons = {"Yes", "No"};
const Captions kQuestionButtons = {"OK", "Cancel"};
constexpr const char* kInstalled = "9.9.9 /z\"liveupdate\"";
constexpr const char* kMainProgramStart = "ShellExecute = ";

std::vector<std::string> Arguments(const std::string& version, const std::string& address) {
    return {"/v", version, "/u", address};
}

// Nothing is left in the temporary folder that could pass for a download.
std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// A local port that accepts connections and never answers: a download that hangs.
class SilentServer {
public:
    std::string address() const { return m_listener.url("/LumoraAuralisManagerSetup-9.9.9.sh"); }

private:
    testing_support::LoopbackListener m_listener;
};

class UpdateClientTest : public ::testing::Test {
protected:
    std::string mainProgramLine() const {
        return kMainProgramStart + (client.installFolder() / "AuralisManager").string();
    }
    UpdateClientHarness client;
};

TEST_F(UpdateClientTest, CleanDownloadRunsTheInstallerWithItsOneArgument) {
    ASSERT_FALSE(client.sim().updateUrl().empty());
    ASSERT_EQ(client.run(Arguments("9.9.9", client.installerAddress())), 1);
    EXPECT_FALSE(client.timedOut());
    EXPECT_EQ(client.installerLog(), std::string(kInstalled) + "\n");

    const fs::path installer = client.tempFolder() / "LumoraAuralisManagerSetup-9.9.9.sh";
    EXPECT_EQ(FilesIn(client.tempFolder()), Captions{installer.filename().string()});
    EXPECT_EQ(fs::status(installer).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(client.logLines(mainProgramLine()), 0);
    // The demo's installer installs nothing but, like a real one, starts the program again:
    // as the version it stands for, with the same virtual earbuds.
    const char* socket = std::getenv("AURALIS_SIM_SOCKET");
    EXPECT_EQ(client.mainLog(),
              "started  as 9.9.9 with " + std::string(socket != nullptr ? socket : "") + "\n");
    EXPECT_EQ(client.logLines("the installer finished"), 1);
}

// What the user reads while the installer comes: the name, the amount so far in the form
// "(12 KB/s)", and the window's own colours.
TEST_F(UpdateClientTest, ProgressLabelAndColoursAreTheClientsOwn) {
    SilentServer server;
    std::string label;
    uint32_t caption = 0;
    uint32_t background = 0;
    client.run(Arguments("9.9.9", server.address()), [&](UpdateClientHarness& h) {
        updater::SUpdatePanel& panel = h.panel();
        WEBAPI_PROGRESS progress{4096, 2048, 50};
        WEBAPI_DATA data{WRT_PROGRESS, 0, 0, nullptr, &progress};
        updater::SUpdatePanel::WebApiCallback(&data);
        label = panel.GetFileLabel();
        caption = panel.GetCancelButton().CaptionColor(0);
        background = h.window().GetContentArea().GetBackgroundColor();
        h.window().CloseDialog(0);
    });
    EXPECT_EQ(label, "LumoraAuralisManagerSetup-9.9.9.sh (2 KB/s)");
    EXPECT_EQ(caption, 0x00C5C5C5u);
    EXPECT_EQ(background, 0x00EBEBEBu);
}

TEST_F(UpdateClientTest, ThreeDroppedConnectionsAreRetriedThenTheInstallerRuns) {
    ASSERT_EQ(client.sim().ctl("SERVER drops=3"), "OK");
    ASSERT_EQ(client.run(Arguments("9.9.9", client.installerAddress())), 1);
    EXPECT_EQ(client.installerLog(), std::string(kInstalled) + "\n");
    for (int count = 1; count <= 3; ++count) {
        EXPECT_EQ(client.logLines("Internet connection try count=" + std::to_string(count)), 1);
    }
    EXPECT_EQ(client.logLines("Internet connection try count=4"), 0);
}

// The fourth network failure shows the notice; whichever answer the user gives, the retries
// came after growing pauses, nothing was installed and the old program runs again.
TEST_F(UpdateClientTest, FourthNetworkFailureShowsTheNoticeThenTheOldProgramRunsAgain) {
    const fs::path opened = client.installFolder() / "opened.txt";
    const fs::path opener = client.installFolder() / "open-url";
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > \"" << opened.string() << "\"\n";
    fs::permissions(opener, fs::perms::owner_all);
    testing_support::ScopedEnv openUrl("AURALIS_OPEN_URL", opener.string());

    for (const std::string answer : {"Yes", "No"}) {
        SCOPED_TRACE(answer);
        fs::remove(client.installFolder() / "main.log");
        ASSERT_EQ(client.sim().ctl("SERVER drops=4"), "OK");
        int notices = 0;
        const auto begin = std::chrono::steady_clock::now();
        std::chrono::steady_clock::duration untilNotice{};
        ASSERT_EQ(client.run(Arguments("9.9.9", client.installerAddress()),
                             [&](UpdateClientHarness& h) {
                                 SPopupDialog* dialog = h.readyDialog();
                                 if (dialog != nullptr &&
                                     UpdateClientHarness::holds(*dialog, "STesselDownloadDlg")) {
                                     EXPECT_EQ(UpdateClientHarness::captions(*dialog),
                                               kNoticeButtons);
                                     if (notices++ == 0) {
                                         untilNotice = std::chrono::steady_clock::now() - begin;
                                     }
                                     UpdateClientHarness::press(*dialog, answer);
                                 }
                             }),
                  1);
        EXPECT_FALSE(client.timedOut());
        EXPECT_EQ(notices, 1);
        EXPECT_EQ(client.logLines("Internet connection try count="), 3);
        // 0.5 + 1 + 2 s of pauses: a short outage can pass before the user is told.
        EXPECT_GE(untilNotice, std::chrono::milliseconds(3500));
        EXPECT_LT(untilNotice, std::chrono::seconds(20));
        EXPECT_TRUE(client.mainProgramStarted());
        EXPECT_EQ(client.logLines(mainProgramLine()), 1);
        EXPECT_FALSE(fs::exists(client.installFolder() / "installer.log"));
        EXPECT_TRUE(FilesIn(client.tempFolder()).empty());
    }
    // Only Yes opened the download page.
    std::string page;
    testing_support::eventually(
        [&] {
            std::getline(std::ifstream(opened), page);
            return !page.empty();
        },
        std::chrono::seconds(20));
    EXPECT_EQ(page, updater::STesselDownloadDlg::kDefaultDownloadPage);
}

TEST_F(UpdateClientTest, ServerErrorOffersRetryAndRetrySucceeds) {
    ASSERT_EQ(client.sim().ctl("SERVER error500=1"), "OK");
    int failures = 0;
    client.run(Arguments("9.9.9", client.installerAddress()), [&](UpdateClientHarness& h) {
        SPopupDialog* dialog = h.readyDialog();
        if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == kFailureButtons) {
            ++failures;
            EXPECT_EQ(h.sim().ctl("SERVER error500=0"), "OK");
            UpdateClientHarness::press(*dialog, "Retry");
        }
    });
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(client.installerLog(), std::string(kInstalled) + "\n");
    EXPECT_EQ(client.logLines(mainProgramLine()), 0);
}

TEST_F(UpdateClientTest, ServerErrorDeclinedRestartsTheMainProgram) {
    ASSERT_EQ(client.sim().ctl("SERVER error500=1"), "OK");
    int failures = 0;
    client.run(Arguments("9.9.9", client.installerAddress()), [&](UpdateClientHarness& h) {
        SPopupDialog* dialog = h.readyDialog();
        if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == kFailureButtons) {
            ++failures;
            UpdateClientHarness::press(*dialog, "Cancel");
        }
    });
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(client.mainProgramStarted());
    EXPECT_EQ(client.logLines(mainProgramLine()), 1);
    EXPECT_FALSE(fs::exists(client.installFolder() / "installer.log"));
}

TEST_F(UpdateClientTest, AddressRefusedByTheWebApiIsAFailureAndRunsNothing) {
    // Plain http to another machine is never fetched.
    int failures = 0;
    client.run(
        Arguments("9.9.9", "http://192.0.2.1/LumoraAuralisManagerSetup-9.9.9.sh"),
        [&](UpdateClientHarness& h) {
            SPopupDialog* dialog = h.readyDialog();
            if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == kFailureButtons) {
                ++failures;
                UpdateClientHarness::press(*dialog, "Cancel");
            }
        });
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(FilesIn(client.tempFolder()).empty());
    EXPECT_TRUE(client.mainProgramStarted());
}

// Presses cancel once the panel shows `percent`, then answers the question with OK.
UpdateClientHarness::Step CancelAt(int percent, bool& asked) {
    return [percent, &asked, pressed = false](UpdateClientHarness& h) mutable {
        updater::SUpdatePanel& panel = h.panel();
        if (!pressed) {
            if (percent > 0) {
                // The hanging download cannot get there itself: report what it would.
                WEBAPI_PROGRESS progress{100, 100, percent};
                WEBAPI_DATA data{WRT_PROGRESS, 0, 0, nullptr, &progress};
                updater::SUpdatePanel::WebApiCallback(&data);
            }
            pressed = true;
            panel.ButtonClicked(&panel.GetCancelButton());
            return;
        }
        SPopupDialog* dialog = h.readyDialog();
        if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == kQuestionButtons) {
            asked = true;
            UpdateClientHarness::press(*dialog, "OK");
        }
    };
}

TEST_F(UpdateClientTest, CancelDuringTheDownloadRestartsTheMainProgram) {
    SilentServer server;
    bool asked = false;
    client.run(Arguments("9.9.9", server.address()), CancelAt(0, asked));
    EXPECT_FALSE(client.timedOut());
    EXPECT_TRUE(asked);
    EXPECT_TRUE(client.mainProgramStarted());
    EXPECT_FALSE(fs::exists(client.installFolder() / "installer.log"));
}

TEST_F(UpdateClientTest, DesktopCloseRequestAsksLikeCancelAndKeepsTheDownloadWhenDeclined) {
    SilentServer server;
    int questions = 0;
    int requests = 0;
    client.run(Arguments("9.9.9", server.address()), [&](UpdateClientHarness& h) {
        // A request whenever no question is open and the one before it was answered.
        if (requests == questions && SDialogFrame::GetOpenDialogs().size() == 1) {
            ++requests;
            h.requestClose();
            return;
        }
        SPopupDialog* dialog = h.readyDialog();
        if (dialog == nullptr || UpdateClientHarness::captions(*dialog) != kQuestionButtons) {
            return;
        }
        // Declined first: the window stays and the download goes on; then confirmed.
        ++questions;
        if (questions == 1) {
            UpdateClientHarness::press(*dialog, "Cancel");
            EXPECT_EQ(h.panel().IsCancelled(), 0);
        } else {
            UpdateClientHarness::press(*dialog, "OK");
        }
    });
    EXPECT_FALSE(client.timedOut());
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(client.mainProgramStarted());
}

TEST_F(UpdateClientTest, CancelAtHundredPercentDoesNotRestartTheMainProgram) {
    SilentServer server;
    bool asked = false;
    client.run(Arguments("9.9.9", server.address()), CancelAt(100, asked));
    EXPECT_FALSE(client.timedOut());
    EXPECT_TRUE(asked);
    EXPECT_EQ(client.logLines(mainProgramLine()), 0);
    EXPECT_FALSE(fs::exists(client.installFolder() / "installer.log"));
}

TEST_F(UpdateClientTest, OldInstallerOfTheSameNameIsReplaced) {
    const fs::path old = client.tempFolder() / "LumoraAuralisManagerSetup-9.9.9.sh";
    std::ofstream(old) << "#!/bin/sh\necho old >> \"$AURALIS_SIM_INSTALL_LOG\"\n";
    fs::permissions(old, fs::perms::owner_all);
    client.run(Arguments("9.9.9", client.installerAddress()));
    EXPECT_EQ(client.installerLog(), std::string(kInstalled) + "\n");
    std::ifstream in(old);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("auralis-sim"), std::string::npos);
}

TEST_F(UpdateClientTest, InstallerThatCannotBePutInPlaceRunsNothingAndRestarts) {
    // A folder of the installer's name, not empty, cannot be deleted.
    const fs::path blocking = client.tempFolder() / "LumoraAuralisManagerSetup-9.9.9.sh";
    fs::create_directory(blocking);
    std::ofstream(blocking / "keep") << "x";
    int messages = 0;
    client.run(Arguments("9.9.9", client.installerAddress()), [&](UpdateClientHarness& h) {
        SPopupDialog* dialog = h.readyDialog();
        if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == Captions{"OK"}) {
            ++messages;
            UpdateClientHarness::press(*dialog, "OK");
        }
    });
    EXPECT_FALSE(client.timedOut());
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(client.logLines("DeleteFile fail"), 1);
    EXPECT_TRUE(client.mainProgramStarted());
    EXPECT_FALSE(fs::exists(client.installFolder() / "installer.log"));
    EXPECT_TRUE(fs::exists(blocking / "keep"));
}

TEST_F(UpdateClientTest, HostileAddressStillDownloadsIntoTheTemporaryFolderOnly) {
    client.run(Arguments("9.9.9", client.installerAddress() + "?to=/../../../escape.sh"));
    EXPECT_EQ(client.installerLog(), std::string(kInstalled) + "\n");
    EXPECT_EQ(FilesIn(client.tempFolder()), Captions{"LumoraAuralisManagerSetup-9.9.9.sh"});
    EXPECT_FALSE(fs::exists(client.tempFolder().parent_path() / "escape.sh"));
}

TEST_F(UpdateClientTest, MissingParameterShowsParameterEmptyAndNoWindow) {
    EXPECT_EQ(client.run({}), 0);
    EXPECT_EQ(client.run({"/v", "9.9.9"}), 0);
    EXPECT_EQ(client.run({"/u", client.installerAddress()}), 0);
    ASSERT_EQ(client.messageBoxes().size(), 1u);  // per run: the backend is new each time
    EXPECT_EQ(client.messageBoxes()[0].text, "Parameter empty.");
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
    EXPECT_FALSE(fs::exists(client.installFolder() / "main.log"));

    // The program itself ends with a non-zero status.
    const testing_support::ProgramRun run = testing_support::runProgram(
        {(platform::paths::executableFolder() / "AuralisManagerUpdateClient").string(), "/v",
         "9.9.9"},
        {.extraEnvironment = {"AURALIS_WINDOW_BACKEND=headless"}});
    const std::string output = run.out + run.err;
    EXPECT_TRUE(run.exitCode > 0 && run.exitCode < 128) << run.exitCode;
    EXPECT_NE(output.find("Parameter empty."), std::string::npos) << output;
}

TEST_F(UpdateClientTest, NotWritableInstallFolderExplainsThePackageToolAndRestarts) {
    std::string shown;
    client.run(
        Arguments("9.9.9", client.installerAddress()),
        [&](UpdateClientHarness& h) {
            SPopupDialog* dialog = h.readyDialog();
            if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == Captions{"OK"}) {
                shown = "notice";
                UpdateClientHarness::press(*dialog, "OK");
            }
        },
        false);
    EXPECT_EQ(shown, "notice");
    EXPECT_TRUE(client.mainProgramStarted());
    EXPECT_TRUE(FilesIn(client.tempFolder()).empty());
    EXPECT_FALSE(fs::exists(client.installFolder() / "installer.log"));
}

// A stop request from the desktop (log-out, kill) during the download: the client ends with the
// signal's status, and no partial file is left in the temporary folder.
TEST_F(UpdateClientTest, StopSignalDuringTheDownloadLeavesNoPartialFile) {
    SilentServer server;
    const fs::path temp = testing_support::makeTempFolder("signal-temp");
    testing_support::ChildProcess program(
        {(platform::paths::executableFolder() / "AuralisManagerUpdateClient").string(), "/v",
         "9.9.9", "/u", server.address()},
        {.extraEnvironment = {"AURALIS_WINDOW_BACKEND=headless",
                              "AURALIS_TEMP_DIR=" + temp.string()},
         .inputFromNull = true});
    ASSERT_TRUE(
        testing_support::eventually([&] { return !fs::is_empty(temp); }, std::chrono::seconds(30)));
    const std::optional<int> status = program.signal(SIGTERM, std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 128 + SIGTERM);
    EXPECT_EQ(FilesIn(temp), std::vector<std::string>{});
}

}  // namespace
}  // namespace updater_test
