// The update client as a program on a virtual display (SDL backend), installed in a folder of
// its own beside a stand-in main program, against auralis-sim's update server: a clean update,
// one the user cancels, and the hand-over from the main program. The programs run in a private
// session with the accessibility bus, and their buttons are pressed by role and name or
// AccessibleId through their accessible actions. Skipped where Xvfb, xdotool or dbus-daemon is
// missing.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/Paths.h"
#include "tests/a11y/AccessibilitySession.h"
#include "tests/a11y/AccessibleDesktop.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/DisplayTest.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/updater/UpdateClientHarness.h"

namespace updater_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ChildOptions;
using testing_support::ChildProcess;
using testing_support::eventually;

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ClientProgramTest : public testing_support::DisplayTest {
protected:
    ClientProgramTest() : DisplayTest("client-program") {}

    void SetUp() override {
        DisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (!m_session.start(m_folder)) {
            GTEST_SKIP() << "needs dbus-daemon (Debian package dbus)";
        }
        m_desktop = std::make_unique<a11y_test::AccessibleDesktop>(m_session.address());
        InstallClient();
    }

    // Presses a program's widget through its accessible action once it is there and usable.
    ::testing::AssertionResult Press(const std::string& program,
                                     const a11y_test::AccessibleQuery& query) {
        if (m_desktop->Press(program, query)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << m_desktop->Problem();
    }

    // The client as a package would lay it out: the program with its res/ beside it, and the
    // main program (a stand-in that records its starts) in the same folder.
    void InstallClient() {
        m_install = m_folder / "install";
        fs::create_directories(m_install);
        const fs::path built = platform::paths::executableFolder();
        fs::copy_file(built / "AuralisManagerUpdateClient",
                      m_install / "AuralisManagerUpdateClient");
        fs::create_directory_symlink(built / "res", m_install / "res");
        std::ofstream(m_install / "AuralisManager")
            << "#!/bin/sh\necho \"started version ${AURALIS_LOCAL_VERSION:-}\" >> \""
            << (m_install / "main.log").string() << "\"\n";
        fs::permissions(m_install / "AuralisManager", fs::perms::owner_all);
    }

    std::unique_ptr<ChildProcess> StartClient(const std::string& address) {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{(m_install / "AuralisManagerUpdateClient").string(), "/v",
                                     "9.9.9", "/u", address},
            ChildOptions{
                .extraEnvironment = {"DISPLAY=" + m_displayName, m_session.environmentEntry(),
                                     "AURALIS_WINDOW_BACKEND=sdl", "AURALIS_LOG_STDERR=1",
                                     "AURALIS_SCALE=1", "AURALIS_LANG=en-US",
                                     "AURALIS_SIM_INSTALL_LOG=" + InstallLog().string()},
                .output = m_folder / "client.out"});
    }

    fs::path InstallLog() const { return m_folder / "installer.log"; }
    std::string Output() const { return ReadFile(m_folder / "client.out"); }

    fs::path m_install;
    a11y_test::AccessibilitySession m_session;
    std::unique_ptr<a11y_test::AccessibleDesktop> m_desktop;
};

std::string InstallerAddress(const integration::SimNeighbourhood& sim) {
    return sim.updateUrl() + "/app/download/LumoraAuralisManagerSetup-9.9.9.sh";
}

TEST_F(ClientProgramTest, DownloadsAndRunsTheInstallerThenEnds) {
    integration::SimNeighbourhood sim(nlohmann::json::array(), nlohmann::json::object());
    ASSERT_FALSE(sim.updateUrl().empty());
    std::unique_ptr<ChildProcess> client = StartClient(InstallerAddress(sim));
    ASSERT_TRUE(client->running());
    const std::optional<int> status = client->wait(30s);
    ASSERT_TRUE(status.has_value()) << Output();
    EXPECT_EQ(*status, 0);
    EXPECT_TRUE(eventually([&] { return !ReadFile(InstallLog()).empty(); }, 20s));
    EXPECT_EQ(ReadFile(InstallLog()), "9.9.9 /z\"liveupdate\"\n");
    // The installer, not the client, starts the program again: as the new version.
    EXPECT_TRUE(eventually([&] { return !ReadFile(m_install / "main.log").empty(); }, 20s));
    EXPECT_EQ(ReadFile(m_install / "main.log").find("started"), 0u);
    EXPECT_NE(ReadFile(m_install / "main.log").find("version 9.9.9"), std::string::npos)
        << ReadFile(m_install / "main.log");
}

TEST_F(ClientProgramTest, CancelStartsTheMainProgramAgain) {
    integration::SimNeighbourhood sim(nlohmann::json::array(), nlohmann::json::object());
    // Slow enough that the user can cancel before the download completes.
    ASSERT_EQ(sim.ctl("SERVER slow=20"), "OK");
    std::unique_ptr<ChildProcess> client = StartClient(InstallerAddress(sim));
    ASSERT_TRUE(Press("AuralisManagerUpdateClient", {.id = "Cancel Button"})) << Output();
    // The question whether to stop: its OK.
    ASSERT_TRUE(Press("AuralisManagerUpdateClient", {.id = "Button OK"})) << Output();
    EXPECT_TRUE(client->wait(20s).has_value()) << Output();
    EXPECT_TRUE(eventually([&] { return fs::exists(m_install / "main.log"); }, 20s)) << Output();
    EXPECT_FALSE(fs::exists(InstallLog()));
}

// The whole hand-over: the main program finds the newer version at start, the user accepts in
// the question, the main program starts the client from its folder and closes, and the client
// downloads and runs the installer.
TEST_F(ClientProgramTest, MainProgramHandsOverToTheClientWhichRunsTheInstaller) {
    integration::SimNeighbourhood sim(nlohmann::json::array(), nlohmann::json::object());
    ASSERT_FALSE(sim.updateUrl().empty());
    const fs::path built = platform::paths::executableFolder();
    fs::remove(m_install / "AuralisManager");
    fs::copy_file(built / "AuralisManager", m_install / "AuralisManager");
    ChildProcess program(
        {(m_install / "AuralisManager").string()},
        {.extraEnvironment = {"DISPLAY=" + m_displayName, m_session.environmentEntry(),
                              "AURALIS_WINDOW_BACKEND=sdl", "AURALIS_BACKEND=sim",
                              "AURALIS_SIM_SOCKET=" + sim.socket().string(),
                              "AURALIS_UPDATE_URL=" + sim.updateUrl(), "AURALIS_LOG_STDERR=1",
                              "AURALIS_SCALE=1", "AURALIS_LANG=en-US", "AURALIS_OFFLINE=0",
                              "AURALIS_SIM_INSTALL_LOG=" + InstallLog().string()},
         .output = m_folder / "program.out"});
    ASSERT_TRUE(program.running());
    // The question about the newer version: its update button.
    ASSERT_TRUE(Press("AuralisManager", {.role = "push button", .name = "Update"}))
        << ReadFile(m_folder / "program.out");
    EXPECT_TRUE(program.wait(20s).has_value()) << ReadFile(m_folder / "program.out");
    EXPECT_TRUE(eventually([&] { return !ReadFile(InstallLog()).empty(); }, 30s));
    EXPECT_NE(ReadFile(InstallLog()).find(" /z\"liveupdate\""), std::string::npos);
}

}  // namespace
}  // namespace updater_test
