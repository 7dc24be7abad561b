// The program's dialogs under real X11 window managers (openbox, metacity), on a 1280 x 900
// screen: each dialog is typed as a dialog, transient for the window it belongs to, titled in the
// user's language, wholly on the screen and holding the keyboard focus; Escape closes it and the
// focus goes back to its owner. One program start per window manager walks the start-up
// question, About, its "latest version" notice, the licence page and the pairing list, whose
// arrows and Return must reach it once the window manager gave it the keyboard. The window
// manager's answers (xprop, xwininfo, xdotool) are the oracle. The program runs in a private
// session with the accessibility bus; its buttons and links are pressed by AccessibleId through
// their accessible actions, the keys go in with xdotool. Skipped where a window manager, the X
// utilities or dbus-daemon are missing.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "auralis/Version.h"
#include "platform/Paths.h"
#include "platform/bluetooth/sim/SimRequest.h"
#include "tests/a11y/AccessibilitySession.h"
#include "tests/a11y/AccessibleDesktop.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/DisplayTest.h"
#include "tests/common/Eventually.h"

namespace fs = std::filesystem;
using testing_support::ChildOptions;
using testing_support::ChildProcess;
using testing_support::eventually;
using testing_support::findOnPath;
using namespace std::chrono_literals;

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 900;

class WindowManagerDialogTest : public testing_support::DisplayTest,
                                public ::testing::WithParamInterface<const char*> {
protected:
    WindowManagerDialogTest() : DisplayTest("wm") {}

    void SetUp() override {
        m_screenSize = std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
        DisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (!findOnPath("xprop") || !findOnPath("xwininfo")) {
            GTEST_SKIP() << "needs xprop and xwininfo (Debian package x11-utils)";
        }
        if (!StartWindowManager(GetParam())) {
            GTEST_SKIP() << GetParam()
                         << " is not installed or did not start: " << WindowManagerOutput();
        }
        if (!m_session.start(m_folder)) {
            GTEST_SKIP() << "needs dbus-daemon (Debian package dbus)";
        }
        m_desktop = std::make_unique<a11y_test::AccessibleDesktop>(m_session.address());
    }

    // auralis-sim's demo neighbourhood with its update server, which offers a newer program.
    void StartSim() {
        m_socket = m_folder / "demo.sock";
        m_sim = std::make_unique<ChildProcess>(
            std::vector<std::string>{(platform::paths::executableFolder() / "auralis-sim").string(),
                                     "--demo", "--socket", m_socket.string()},
            ChildOptions{.output = m_folder / "sim.log"});
        ASSERT_TRUE(eventually(
            [&] {
                const std::string output = m_sim->output();
                std::smatch found;
                if (!std::regex_search(output, found,
                                       std::regex("http://127\\.0\\.0\\.1:\\d+\\n")) ||
                    !fs::exists(m_socket)) {
                    return false;
                }
                m_updateUrl = found.str().substr(0, found.length() - 1);
                return true;
            },
            10s))
            << m_sim->output();
    }

    void StartProgram() {
        m_program = std::make_unique<ChildProcess>(
            std::vector<std::string>{
                (platform::paths::executableFolder() / "AuralisManager").string()},
            ChildOptions{
                .extraEnvironment = {"DISPLAY=" + m_displayName, m_session.environmentEntry(),
                                     "AURALIS_BACKEND=sim",
                                     "AURALIS_SIM_SOCKET=" + m_socket.string(),
                                     "AURALIS_UPDATE_URL=" + m_updateUrl, "AURALIS_OFFLINE=0",
                                     "AURALIS_WINDOW_BACKEND=sdl", "AURALIS_LOG_STDERR=1",
                                     "AURALIS_SCALE=1", "AURALIS_LANG=en-US"},
                .output = m_folder / "program.log"});
        ASSERT_TRUE(eventually(
            [&] { return m_program->output().find("Main window shown") != std::string::npos; },
            20s))
            << m_program->output();
        m_main = FindWindow("Auralis Manager");
        ASSERT_FALSE(m_main.empty());
    }

    // The update server offers this build's own version from now on.
    void OfferOwnVersion() {
        platform::bluetooth::SimRequest request(m_socket, 5s);
        std::string answer;
        ASSERT_TRUE(request.send(std::string("CTL SERVER app=") + AURALIS_VERSION) &&
                    request.readLine(answer));
        ASSERT_EQ(answer, "OK");
    }

    // The X window that holds the keyboard focus, as a decimal id like xdotool's.
    std::string FocusedWindow() {
        std::string focused = Xdotool("getwindowfocus");
        return focused.substr(0, focused.find('\n'));
    }

    // The checks every dialog must pass; `owner` is the window it belongs to.
    void ExpectProperDialog(const std::string& dialog, const std::string& owner) {
        SCOPED_TRACE(GetParam());
        const std::string type = RunClient("xprop", "-id " + dialog + " _NET_WM_WINDOW_TYPE");
        EXPECT_NE(type.find("_NET_WM_WINDOW_TYPE_DIALOG"), std::string::npos) << type;

        // The window is found by its title, which it may have before it is shown and made
        // transient for its owner.
        std::string transient;
        std::smatch id;
        ASSERT_TRUE(eventually(
            [&] {
                transient = RunClient("xprop", "-id " + dialog + " WM_TRANSIENT_FOR");
                return std::regex_search(transient, id, std::regex("0x[0-9a-fA-F]+"));
            },
            5s))
            << transient;
        EXPECT_EQ(std::to_string(std::stoul(id.str(), nullptr, 16)), owner);

        const std::string geometry = RunClient("xwininfo", "-id " + dialog);
        auto value = [&](const std::string& label) {
            std::smatch found;
            return std::regex_search(geometry, found, std::regex(label + ":\\s+(-?\\d+)"))
                       ? std::stoi(found[1])
                       : -99999;
        };
        const int x = value("Absolute upper-left X");
        const int y = value("Absolute upper-left Y");
        const int width = value("Width");
        const int height = value("Height");
        EXPECT_GE(x, 0) << geometry;
        EXPECT_GE(y, 0) << geometry;
        EXPECT_LE(x + width, kScreenWidth) << geometry;
        EXPECT_LE(y + height, kScreenHeight) << geometry;

        EXPECT_TRUE(eventually([&] { return FocusedWindow() == dialog; }, 5s))
            << "the focus is on " << FocusedWindow();
    }

    // Escape closes the dialog and the keyboard goes back to `owner`.
    void ExpectEscapeCloses(const std::string& dialog, const std::string& owner) {
        SCOPED_TRACE(GetParam());
        Xdotool("key Escape");
        EXPECT_TRUE(eventually(
            [&] {
                return Xdotool("search --onlyvisible --name .").find(dialog) == std::string::npos;
            },
            5s))
            << "Escape did not close " << dialog;
        EXPECT_TRUE(eventually([&] { return FocusedWindow() == owner; }, 5s))
            << "the focus is on " << FocusedWindow();
    }

    // Presses a widget of the program (by its AccessibleId) through its accessible action.
    ::testing::AssertionResult Press(const std::string& id) {
        if (m_desktop->Press("AuralisManager", {.id = id})) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << m_desktop->Problem();
    }

    fs::path m_socket;
    std::string m_updateUrl;
    std::unique_ptr<ChildProcess> m_sim;
    std::unique_ptr<ChildProcess> m_program;
    std::string m_main;
    a11y_test::AccessibilitySession m_session;
    std::unique_ptr<a11y_test::AccessibleDesktop> m_desktop;
};

TEST_P(WindowManagerDialogTest, DialogsAreFocusedTransientDialogsOnTheScreenAndEscapeCloses) {
    StartSim();
    ASSERT_FALSE(HasFatalFailure());
    StartProgram();
    ASSERT_FALSE(HasFatalFailure());

    // The start-up question about the newer program.
    const std::string question = FindWindow("Auralis Manager Update");
    ASSERT_FALSE(question.empty()) << m_program->output();
    ExpectProperDialog(question, m_main);
    ExpectEscapeCloses(question, m_main);

    // About, from the link under the main window's button.
    ASSERT_NO_FATAL_FAILURE(OfferOwnVersion());
    ASSERT_TRUE(Press("About PC Program Button"));
    const std::string about = FindWindow("About Auralis Manager");
    ASSERT_FALSE(about.empty()) << m_program->output();
    ExpectProperDialog(about, m_main);

    // Its update button: the program is the latest, a notice over About says so.
    ASSERT_TRUE(Press("Check Update Button"));
    const std::string notice = FindWindow("Notice");
    ASSERT_FALSE(notice.empty()) << m_program->output();
    ExpectProperDialog(notice, about);
    ExpectEscapeCloses(notice, about);

    // The licence page, from About's link; larger than the main window, still on the screen.
    ASSERT_TRUE(Press("License Button"));
    const std::string licence = FindWindow("License information");
    ASSERT_FALSE(licence.empty()) << m_program->output();
    ExpectProperDialog(licence, about);
    ExpectEscapeCloses(licence, about);

    ExpectEscapeCloses(about, m_main);

    // The pairing list: once it opens (and took the keyboard), Down and Return choose a pair.
    ASSERT_TRUE(Press("SCommonButton _btnConnect"));
    const std::string list = FindWindow("Pair Bluetooth earbuds");
    ASSERT_FALSE(list.empty()) << m_program->output();
    ExpectProperDialog(list, m_main);
    std::this_thread::sleep_for(300ms);
    Xdotool("key Down");
    Xdotool("key Return");
    EXPECT_TRUE(eventually(
        [&] { return m_program->output().find("Connected to device[") != std::string::npos; }, 20s))
        << m_program->output();
    m_program->stop();
}

INSTANTIATE_TEST_SUITE_P(UnderWindowManagers, WindowManagerDialogTest,
                         ::testing::Values("openbox", "metacity"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
