// The whole program on a virtual display: AuralisManager against auralis-sim, driven as a user
// of assistive technology would: each test runs in a private session with the accessibility bus,
// and buttons and rows are pressed by role and name (or AccessibleId) through their accessible
// actions; the mouse and xdotool remain where a place on the screen is what is tested. Start,
// press Connect, pick a pair in the device list, reach the home screen; make the
// pair go silent and see the connection-failure screen; a second start ends at once. Against the
// demo neighbourhood and its update server: check for new firmware, update, and come back home
// with the new version. The device list's rounded corner shows the main window behind it, with
// and without a compositor. The program's log lines and the screen's pixels are the oracles.
// Skipped where Xvfb, xdotool or dbus-daemon is missing.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "auralis/Version.h"
#include "platform/Paths.h"
#include "platform/bluetooth/sim/SimRequest.h"
#include "tests/a11y/AccessibilitySession.h"
#include "tests/a11y/AccessibleDesktop.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/DisplayTest.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/common/VirtualDisplay.h"
#include "tests/integration/SimNeighbourhood.h"

namespace fs = std::filesystem;
using a11y_test::AccessibleQuery;
using integration::SimNeighbourhood;
using nlohmann::json;
using testing_support::ChildOptions;
using testing_support::ChildProcess;
using testing_support::eventually;
using testing_support::findOnPath;
using namespace std::chrono_literals;

namespace {

// Waits (at most limit) until the program has written line.
bool Logged(const ChildProcess& program, const std::string& line,
            std::chrono::milliseconds limit = 20s) {
    return eventually([&] { return program.output().find(line) != std::string::npos; }, limit);
}

// A pair of either generation.
json TwoPairs() {
    return json::array({{{"address", "70:5A:B6:01:4F:2A"}, {"name", "Auralis+ (4F2A)"}},
                        {{"address", "70:5A:B6:00:77:A0"}, {"name", "Auralis (77A0)"}}});
}

class WholeProgramTest : public testing_support::DisplayTest {
protected:
    WholeProgramTest() : DisplayTest("whole") {}

    // The program runs as on a desktop: in a session with the accessibility bus, under a
    // window manager, which places, frames and focuses its windows (skipped without one
    // installed).
    void SetUp() override {
        DisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (!m_session.start(m_folder)) {
            GTEST_SKIP() << "needs dbus-daemon (Debian package dbus)";
        }
        m_desktop = std::make_unique<a11y_test::AccessibleDesktop>(m_session.address());
        if (!m_underWindowManager) {
            return;
        }
        if (!StartWindowManager("openbox")) {
            GTEST_SKIP() << "needs openbox (Debian package openbox) and xprop (x11-utils): "
                         << WindowManagerOutput();
        }
    }

    // The Wayland session's compositor runs in an X window of its own, which stays where it is.
    bool m_underWindowManager = true;
    a11y_test::AccessibilitySession m_session;
    std::unique_ptr<a11y_test::AccessibleDesktop> m_desktop;

    // Presses a widget of the main program through its accessible action, once it is there
    // and usable; a failure says what was missing.
    ::testing::AssertionResult Press(const AccessibleQuery& query) {
        if (m_desktop->Press("AuralisManager", query)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << m_desktop->Problem();
    }

    // The welcome screen's Connect button, a row of the pairing list (by the pair's name), and
    // the title bar's close button.
    static AccessibleQuery ConnectButton() { return {.id = "SCommonButton _btnConnect"}; }
    static AccessibleQuery PairRow(const std::string& name) {
        return {.role = "list item", .name = name};
    }
    static AccessibleQuery CheckFirmwareButton() { return {.id = "Button CheckFimwareUpdate"}; }
    static AccessibleQuery UpdateFirmwareButton() {
        return {.role = "push button", .name = "Update", .window = "Auralis Manager"};
    }
    static AccessibleQuery CloseButton() {
        return {.role = "push button", .name = "Close", .window = "Auralis Manager"};
    }

    // `auralis-sim --demo` on a socket of its own in the test's folder, with the address of its
    // update server (empty when it did not come up). The demo server offers a newer program too;
    // offering this build's own version keeps the start-up question about it out of the way.
    struct DemoSim {
        ChildProcess process;
        fs::path socket;
        std::string updateUrl;

        bool ctl(const std::string& words) const {
            platform::bluetooth::SimRequest request(socket, 5s);
            std::string answer;
            return request.send("CTL " + words) && request.readLine(answer) && answer == "OK";
        }
    };

    std::unique_ptr<DemoSim> StartDemoSim(const std::string& name) {
        auto sim = std::make_unique<DemoSim>();
        sim->socket = m_folder / (name + ".sock");
        sim->process.start({(platform::paths::executableFolder() / "auralis-sim").string(),
                            "--demo", "--socket", sim->socket.string()},
                           {.output = m_folder / ("sim-" + name + ".log")});
        const bool up = eventually(
            [&] {
                const std::string output = sim->process.output();
                const std::size_t at = output.find("http://127.0.0.1:");
                if (at == std::string::npos || !fs::exists(sim->socket)) {
                    return false;
                }
                const std::size_t end = output.find_first_not_of("0123456789", at + 17);
                sim->updateUrl = output.substr(at, end - at);
                return end != std::string::npos;
            },
            10s);
        if (!up || !sim->ctl(std::string("SERVER app=") + AURALIS_VERSION)) {
            sim->updateUrl.clear();
        }
        return sim;
    }

    // As a user would, from the welcome screen to a running download: Connect, the demo's first
    // pair "Auralis (77A0)" (first generation, firmware 1.4.0), the firmware check, then Update
    // under the offered 1.5.0.
    ::testing::AssertionResult StartTheFirstPairsUpdate(const ChildProcess& program) {
        const auto waitFor = [&](const std::string& line) {
            if (Logged(program, line, 20s)) {
                return ::testing::AssertionSuccess();
            }
            return ::testing::AssertionFailure() << "not logged: " << line << "\n"
                                                 << program.output();
        };
        const std::function<::testing::AssertionResult()> steps[] = {
            [&] { return waitFor("Main window shown"); },
            [&] { return Press(ConnectButton()); },
            [&] { return waitFor("ShowBluetoothDevicesPopup\n"); },
            [&] { return Press(PairRow("Auralis (77A0)")); },
            [&] { return waitFor("UpdateMainView viewType[4]"); },
            [&] { return waitFor("deviceVersionL[1.4.0]"); },
            [&] { return Press(CheckFirmwareButton()); },
            [&] {
                return waitFor("INVOKE_CHECK_UPDATE_FIRMWARE curVersion[1.4.0] newVersion[1.5.0]");
            },
            [&] { return Press(UpdateFirmwareButton()); },
            [&] { return waitFor("PH_DOWNLOAD"); },
        };
        for (const auto& step : steps) {
            if (::testing::AssertionResult done = step(); !done) {
                return done;
            }
        }
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<ChildProcess> StartProgram(const SimNeighbourhood& sim,
                                               const std::string& output) {
        return StartProgram(sim.socket(), "", output);
    }

    std::unique_ptr<ChildProcess> StartProgram(const fs::path& socket, const std::string& updateUrl,
                                               const std::string& output) {
        const fs::path program = platform::paths::executableFolder() / "AuralisManager";
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{program.string()},
            ChildOptions{
                .extraEnvironment = {"DISPLAY=" + m_displayName, m_session.environmentEntry(),
                                     "AURALIS_BACKEND=sim", "AURALIS_SIM_SOCKET=" + socket.string(),
                                     "AURALIS_UPDATE_URL=" + updateUrl,
                                     "AURALIS_WINDOW_BACKEND=sdl", "AURALIS_LOG_STDERR=1",
                                     "AURALIS_SCALE=1", "AURALIS_LANG=en-US"},
                .output = m_folder / output});
    }

    // Starts the program against sim and waits until its main window shows: the window's id,
    // empty when it did not show (the program's output says why).
    std::string StartUntilShown(const SimNeighbourhood& sim, const std::string& output,
                                std::unique_ptr<ChildProcess>& program) {
        program = StartProgram(sim, output);
        if (!program->running() || !Logged(*program, "Main window shown")) {
            return "";
        }
        return FindWindow("Auralis Manager");
    }
};

TEST_F(WholeProgramTest, ConnectPickAPairReachHomeAndFailWhenItGoesSilent) {
    SimNeighbourhood sim(TwoPairs());
    ASSERT_TRUE(sim.started());
    std::unique_ptr<ChildProcess> program = StartProgram(sim, "program.log");
    ASSERT_TRUE(program->running());
    auto logged = [&](const std::string& line) { return Logged(*program, line); };
    ASSERT_TRUE(logged("Main window shown")) << program->output();
    EXPECT_NE(program->output().find("Start checking application update"), std::string::npos);

    // A second start ends at once, without a window, and says why.
    {
        std::unique_ptr<ChildProcess> second = StartProgram(sim, "second.log");
        const std::optional<int> status = second->wait(10s);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0);
        EXPECT_NE(second->output().find("AuralisManager aready running"), std::string::npos);
        EXPECT_EQ(second->output().find("Main window shown"), std::string::npos);
    }
    // A running copy that shows no window (stopped here) does not turn a new start away in
    // silence: the new start says why and ends with an error.
    {
        ASSERT_EQ(::kill(program->pid(), SIGSTOP), 0);
        std::unique_ptr<ChildProcess> second = StartProgram(sim, "third.log");
        const std::optional<int> status = second->wait(10s);
        ::kill(program->pid(), SIGCONT);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
        EXPECT_NE(second->output().find("did not show its window within a second"),
                  std::string::npos)
            << second->output();
    }

    ASSERT_TRUE(Press(ConnectButton()));
    ASSERT_TRUE(logged("OnConnectButtonClick")) << program->output();
    ASSERT_TRUE(logged("ShowBluetoothDevicesPopup\n")) << program->output();
    // The pair with the lower address, listed first.
    ASSERT_TRUE(Press(PairRow("Auralis (77A0)")));
    ASSERT_TRUE(logged("ConnectToDevice")) << program->output();
    ASSERT_TRUE(logged("Connected to device[Auralis (77A0)] TWSStatus[1]")) << program->output();
    ASSERT_TRUE(logged("UpdateMainView viewType[4]")) << program->output();

    EXPECT_EQ(sim.ctl("SILENT 70:5A:B6:00:77:A0 ON"), "OK");
    ASSERT_TRUE(logged("OnDeviceDisconnected: DisconnectError[0]")) << program->output();
    ASSERT_TRUE(logged("UpdateMainView viewType[3]")) << program->output();
    program->stop();
}

// The demo of `make run`: the demo pairs and the update server of auralis-sim --demo.
TEST_F(WholeProgramTest, CheckUpdateAndComeBackHomeWithTheNewFirmware) {
    const std::unique_ptr<DemoSim> sim = StartDemoSim("demo");
    ASSERT_FALSE(sim->updateUrl.empty()) << sim->process.output();

    std::unique_ptr<ChildProcess> program = StartProgram(sim->socket, sim->updateUrl, "update.log");
    ASSERT_TRUE(program->running());
    auto logged = [&](const std::string& line, std::chrono::milliseconds limit = 20s) {
        return Logged(*program, line, limit);
    };
    ASSERT_TRUE(StartTheFirstPairsUpdate(*program));
    ASSERT_TRUE(logged("PH_COPY", 60s)) << program->output();
    ASSERT_TRUE(logged("OnDownloadFinish: Success[1]", 120s)) << program->output();
    // The earbuds restart and come back with the new version while the message is open.
    ASSERT_TRUE(logged("deviceVersionL[1.5.0] deviceVersionR[1.5.0]", 60s)) << program->output();
    program->stop();
}

// As a user would: press Update, then the earbuds go out of range while the (slow) download
// runs. The download ends at once with one message over the connection-failure screen; the
// package is never copied to any earbuds, however long the program is watched afterwards.
TEST_F(WholeProgramTest, LosingThePairDuringTheDownloadEndsItWithOneMessage) {
    const std::unique_ptr<DemoSim> sim = StartDemoSim("lost");
    ASSERT_FALSE(sim->updateUrl.empty()) << sim->process.output();
    // About 1 KB a second: the download lasts long enough to lose the pair in it.
    ASSERT_TRUE(sim->ctl("SERVER slow=1000"));

    std::unique_ptr<ChildProcess> program = StartProgram(sim->socket, sim->updateUrl, "lost.log");
    ASSERT_TRUE(program->running());
    auto logged = [&](const std::string& line, std::chrono::milliseconds limit = 20s) {
        return Logged(*program, line, limit);
    };
    ASSERT_TRUE(StartTheFirstPairsUpdate(*program));
    ASSERT_TRUE(logged("WebApiCallback[WRT_PROGRESS] percent[2]")) << program->output();

    ASSERT_TRUE(sim->ctl("RANGE 70:5A:B6:00:77:A0 OUT"));
    ASSERT_TRUE(logged("download stopped, nothing sent")) << program->output();
    ASSERT_TRUE(logged("UpdateMainView viewType[3]")) << program->output();
    // Long after the download would have ended: nothing was copied, no second dialog.
    std::this_thread::sleep_for(3s);
    const std::string output = program->output();
    EXPECT_EQ(output.find("PH_DOWNLOAD_COMPLETE"), std::string::npos);
    EXPECT_EQ(output.find("PH_COPY"), std::string::npos);
    EXPECT_EQ(output.find("OpenFotaSession"), std::string::npos);
    EXPECT_TRUE(program->running());
    program->stop();
}

// `make run`'s script through the program's own update: the user accepts the newer version the
// demo's update server offers, the update client runs the demo's stand-in installer, which
// installs nothing and starts the program again; the script keeps the virtual earbuds until that
// program closes, and then stops them and ends.
TEST_F(WholeProgramTest, MakeRunKeepsTheDemoThroughTheProgramsOwnUpdate) {
    const fs::path bin = platform::paths::executableFolder();
    ChildProcess run(
        {"/bin/bash", std::string(AURALIS_SOURCE_DIR) + "/scripts/run.sh",
         bin.parent_path().string()},
        ChildOptions{.extraEnvironment = {"DISPLAY=" + m_displayName, m_session.environmentEntry(),
                                          "AURALIS_WINDOW_BACKEND=sdl", "AURALIS_LOG_STDERR=1",
                                          "AURALIS_SCALE=1", "AURALIS_LANG=en-US",
                                          "AURALIS_UPDATE_URL=", "AURALIS_LOCAL_VERSION="},
                     .output = m_folder / "run.log"});
    ASSERT_TRUE(Logged(run, "Main window shown")) << run.output();
    // The question about the newer version: its Update button, pressed once (a key pressed
    // again on a slow machine could reach the update client's window instead).
    ASSERT_TRUE(
        Press({.role = "push button", .name = "Update", .window = "Auralis Manager Update"}))
        << run.output();
    ASSERT_TRUE(Logged(run, "AuralisManagerUpdateClient")) << run.output();

    // The stand-in installer says what it does, and the program is there again (its output
    // goes nowhere: it runs on its own, as after a real update).
    ASSERT_TRUE(Logged(run, "Starting Auralis Manager again", 60s)) << run.output();
    const std::regex socketLine("virtual earbuds on (\\S+);");
    std::smatch match;
    const std::string output = run.output();
    ASSERT_TRUE(std::regex_search(output, match, socketLine)) << output;
    const fs::path socket = match[1].str();
    const std::string main = FindWindow("Auralis Manager");
    ASSERT_FALSE(main.empty()) << run.output();
    EXPECT_FALSE(run.wait(1s).has_value()) << "the script ended while the updated program runs";
    EXPECT_TRUE(fs::exists(socket));

    // Closing it (the title bar's close button) ends the script, which stops the virtual
    // earbuds.
    ASSERT_TRUE(Press(CloseButton()));
    const std::optional<int> status = run.wait(20s);
    ASSERT_TRUE(status.has_value()) << run.output();
    EXPECT_EQ(*status, 0) << run.output();
    EXPECT_FALSE(fs::exists(socket));
}

// A second start knocks, and the first brings its window forward (from the task bar too);
// then the close button ends the program, which says so in its last log line. The time from
// the press to the end is printed for the record; the bound is only there to catch a hang.
TEST_F(WholeProgramTest, SecondStartBringsTheFirstWindowForwardAndCloseEndsTheProgram) {
    SimNeighbourhood sim(json::array());
    ASSERT_TRUE(sim.started());
    std::unique_ptr<ChildProcess> program;
    const std::string main = StartUntilShown(sim, "first.log", program);
    ASSERT_FALSE(main.empty()) << program->output();
    auto logged = [&](const std::string& line) { return Logged(*program, line); };
    // Without a window manager minimising may do nothing; the knock must be answered anyway.
    Xdotool("windowminimize " + main);

    std::unique_ptr<ChildProcess> second = StartProgram(sim, "second.log");
    const std::optional<int> status = second->wait(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_NE(second->output().find("asked the running instance"), std::string::npos)
        << second->output();
    ASSERT_TRUE(logged("Second start: main window brought to the front")) << program->output();
    EXPECT_TRUE(eventually(
        [&] {
            return Xdotool("search --onlyvisible --name '^Auralis Manager$'").find(main) !=
                   std::string::npos;
        },
        5s));

    // The title bar's close button.
    const auto clicked = std::chrono::steady_clock::now();
    ASSERT_TRUE(Press(CloseButton()));
    const std::optional<int> ended = program->wait(10s);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - clicked);
    ASSERT_TRUE(ended.has_value()) << program->output();
    EXPECT_EQ(*ended, 0);
    std::printf("close to exit: %lld ms (press included)\n",
                static_cast<long long>(elapsed.count()));
    EXPECT_LT(elapsed, 2s);
    const std::string output = program->output();
    EXPECT_NE(output.find("AuralisManager ends, exit code 0"), std::string::npos) << output;
}

// The device list's rounded corner shows the main window behind it, not black or white: the
// corner's pixel on the screen matches the main window's pixel just left of the list. Without a
// compositor the list is a shaped window; with xcompmgr it has an alpha visual and its shadow is
// blended. Read with ImageMagick's `import` from the whole screen, as a user's screenshot is.
class PopupCornerTest : public WholeProgramTest, public ::testing::WithParamInterface<bool> {
protected:
    using Colour = std::array<int, 3>;

    // The screen's colour at a point, read from the root window.
    std::optional<Colour> ScreenPixel(int x, int y) {
        const testing_support::ProgramRun run = testing_support::runProgram(
            {m_import->string(), "-display", m_displayName, "-window", "root", "-crop",
             "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "rgb:-"},
            {}, 5s);
        if (run.out.size() != 3) {
            return std::nullopt;
        }
        const auto bytes = reinterpret_cast<const unsigned char*>(run.out.data());
        return Colour{bytes[0], bytes[1], bytes[2]};
    }

    // A window's place on the screen, from xdotool's shell-style answer.
    std::optional<std::pair<int, int>> WindowPosition(const std::string& window) {
        const std::string answer = Xdotool("getwindowgeometry --shell " + window);
        const std::size_t x = answer.find("X=");
        const std::size_t y = answer.find("Y=");
        if (x == std::string::npos || y == std::string::npos) {
            return std::nullopt;
        }
        return std::make_pair(std::atoi(answer.c_str() + x + 2), std::atoi(answer.c_str() + y + 2));
    }

    std::optional<fs::path> m_import;
};

TEST_P(PopupCornerTest, DeviceListCornerShowsTheMainWindowBehind) {
    m_import = findOnPath("import");
    if (!m_import) {
        GTEST_SKIP() << "needs ImageMagick's import (Debian package imagemagick)";
    }
    const bool composited = GetParam();
    std::unique_ptr<ChildProcess> compositor;
    if (composited) {
        const std::optional<fs::path> xcompmgr = findOnPath("xcompmgr");
        if (!xcompmgr) {
            GTEST_SKIP() << "needs xcompmgr (Debian package xcompmgr)";
        }
        compositor = std::make_unique<ChildProcess>(
            std::vector<std::string>{xcompmgr->string()},
            ChildOptions{.extraEnvironment = {"DISPLAY=" + m_displayName},
                         .output = m_folder / "xcompmgr.log"});
        ASSERT_TRUE(compositor->running());
    }
    SimNeighbourhood sim(TwoPairs());
    ASSERT_TRUE(sim.started());
    std::unique_ptr<ChildProcess> program;
    const std::string main = StartUntilShown(sim, "program.log", program);
    ASSERT_FALSE(main.empty()) << program->output();
    auto logged = [&](const std::string& line) { return Logged(*program, line); };
    ASSERT_TRUE(Press(ConnectButton()));
    ASSERT_TRUE(logged("ShowBluetoothDevicesPopup\n")) << program->output();
    ASSERT_TRUE(logged(composited ? "\"Pair Bluetooth earbuds\" has per-pixel transparency"
                                  : "no compositor: \"Pair Bluetooth earbuds\" takes the shape"))
        << program->output();

    const std::string list = FindWindow("Pair Bluetooth earbuds");
    ASSERT_FALSE(list.empty());
    const std::optional<std::pair<int, int>> place = WindowPosition(list);
    ASSERT_TRUE(place.has_value());
    const auto [left, top] = *place;
    // The corner's outermost pixel lies in the shadow margin, outside the rounded frame; the
    // reference lies on the main window's plain background beside the list. The list zooms in
    // first, so the screen is read until it settles.
    std::optional<Colour> corner;
    std::optional<Colour> behind;
    auto close = [](const Colour& a, const Colour& b) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::abs(a[i] - b[i]) > 6) {
                return false;
            }
        }
        return true;
    };
    const bool matches = eventually(
        [&] {
            corner = ScreenPixel(left + 1, top + 1);
            behind = ScreenPixel(left - 2, top + 1);
            return corner && behind && close(*corner, *behind);
        },
        10s);
    ASSERT_TRUE(corner && behind) << "could not read the screen";
    EXPECT_TRUE(matches) << "corner " << (*corner)[0] << "," << (*corner)[1] << "," << (*corner)[2]
                         << " over the window's " << (*behind)[0] << "," << (*behind)[1] << ","
                         << (*behind)[2];
    // The reference is the light main window, not the black screen around it.
    EXPECT_GT((*behind)[0] + (*behind)[1] + (*behind)[2], 3 * 160);
    program->stop();
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutCompositor, PopupCornerTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Composited" : "Shaped";
                         });

// The program as a user works it under weston (nested in Xvfb, as above): input goes in through
// the X window weston draws its output in, which weston hands to its Wayland clients; the
// program's log and the screen's pixels tell what happened. At output scale 1 and 2.
class WaylandSessionTest : public WholeProgramTest {
protected:
    struct Point {
        int x = 0;
        int y = 0;
        bool operator==(const Point&) const = default;
    };

    // The main window's frame and title bar, which nothing else on weston's desktop shares.
    static constexpr std::array<int, 3> kFrameGrey = {201, 201, 201};
    // The main window's size and its menu button's middle, in units.
    static constexpr int kMainWidth = 424;
    static constexpr int kMainHeight = 515;
    static constexpr int kMenuButtonX = 346;
    static constexpr int kMenuButtonY = 22;

    struct Popup {
        int width = 0;
        int height = 0;
        int x = 0;  // from the main window's top-left corner, in pixels
        int y = 0;
    };

    struct Screen {
        int width = 0;
        int height = 0;
        std::vector<unsigned char> rgb;
        std::array<int, 3> At(int x, int y) const {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
            return {rgb[i], rgb[i + 1], rgb[i + 2]};
        }
    };

    void SetUp() override {
        // Room for weston's window at output scale 2 (twice its logical size).
        m_screenSize = "1280x1440x24";
        m_underWindowManager = false;
        WholeProgramTest::SetUp();
    }

    // weston's output in logical units; at scale 2 its X window is twice as large.
    void StartCompositor(int scale, int width, int height) {
        m_scale = scale;
        m_outputWidth = width * scale;
        m_outputHeight = height * scale;
        m_import = findOnPath("import");
        const std::optional<fs::path> weston = findOnPath("weston");
        if (!weston || !m_import) {
            GTEST_SKIP() << "needs weston and ImageMagick's import (Debian packages weston, "
                            "imagemagick)";
        }
        m_runtime = m_folder / "wayland-runtime";
        fs::create_directories(m_runtime);
        fs::permissions(m_runtime, fs::perms::owner_all, fs::perm_options::replace);
        m_compositor = std::make_unique<ChildProcess>(
            std::vector<std::string>{weston->string(), "--backend=x11-backend.so", "--use-pixman",
                                     "--socket=" + m_socket, "--width=" + std::to_string(width),
                                     "--height=" + std::to_string(height),
                                     "--scale=" + std::to_string(scale), "--idle-time=0",
                                     "--no-config"},
            ChildOptions{.extraEnvironment = {"DISPLAY=" + m_displayName,
                                              "XDG_RUNTIME_DIR=" + m_runtime.string()},
                         .output = m_folder / "weston.log"});
        ASSERT_TRUE(m_compositor->running());
        if (!eventually([&] { return fs::exists(m_runtime / m_socket); }, 20s)) {
            GTEST_SKIP() << "weston did not start here: " << m_compositor->output();
        }
    }

    // The program on the compositor with SDL's Wayland driver, against the sim.
    ChildOptions WaylandProgramOptions(const SimNeighbourhood& sim, const std::string& output) {
        return {.extraEnvironment = {"DISPLAY=", m_session.environmentEntry(),
                                     "WAYLAND_DISPLAY=" + m_socket,
                                     "XDG_RUNTIME_DIR=" + m_runtime.string(),
                                     "SDL_VIDEODRIVER=wayland", "AURALIS_BACKEND=sim",
                                     "AURALIS_SIM_SOCKET=" + sim.socket().string(),
                                     "AURALIS_WINDOW_BACKEND=sdl", "AURALIS_LOG_STDERR=1",
                                     "AURALIS_LOG_LEVEL=debug", "AURALIS_OFFLINE=1",
                                     "AURALIS_LANG=en-US",
                                     // SDL 2.26's Wayland driver leaves a few allocations of its
                                     // own at exit; leaks stay checked in every X11 run.
                                     "ASAN_OPTIONS=detect_leaks=0"},
                .output = m_folder / output};
    }

    void StartWaylandProgram(const SimNeighbourhood& sim) {
        m_program = std::make_unique<ChildProcess>(std::vector<std::string>{ProgramPath().string()},
                                                   WaylandProgramOptions(sim, "wayland.log"));
        ASSERT_TRUE(m_program->running());
        ASSERT_TRUE(Logged("Main window shown")) << m_program->output() << m_compositor->output();
    }

    // weston, the sim with these pairs and the program on them; false when the test was skipped
    // (no weston) or failed on the way.
    bool StartSession(int scale, int width, int height, const json& pairs = json::array()) {
        StartCompositor(scale, width, height);
        if (IsSkipped() || HasFatalFailure()) {
            return false;
        }
        m_sim = std::make_unique<SimNeighbourhood>(pairs);
        EXPECT_TRUE(m_sim->started());
        if (!m_sim->started()) {
            return false;
        }
        StartWaylandProgram(*m_sim);
        return !HasFatalFailure();
    }

    static fs::path ProgramPath() { return platform::paths::executableFolder() / "AuralisManager"; }

    bool Logged(const std::string& line, std::size_t from = 0) {
        return eventually([&] { return m_program->output().find(line, from) != std::string::npos; },
                          20s);
    }

    // The place of the last popup shown whose title matches, from the program's log (from an
    // offset in it on).
    std::optional<Popup> LastPopup(const std::string& title, std::size_t from = 0) {
        const std::string all = m_program->output();
        const std::string output = from < all.size() ? all.substr(from) : std::string();
        const std::regex shown("popup \"" + title + "\" (\\d+)x(\\d+) at (-?\\d+),(-?\\d+) of");
        std::optional<Popup> last;
        for (auto it = std::sregex_iterator(output.begin(), output.end(), shown);
             it != std::sregex_iterator(); ++it) {
            last = Popup{std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[3]),
                         std::stoi((*it)[4])};
        }
        return last;
    }

    std::optional<Screen> Grab() {
        const testing_support::ProgramRun run = testing_support::runProgram(
            {m_import->string(), "-display", m_displayName, "-window", "root", "-crop",
             std::to_string(m_outputWidth) + "x" + std::to_string(m_outputHeight) + "+0+0",
             "-depth", "8", "rgb:-"},
            {}, 10s);
        Screen screen{m_outputWidth, m_outputHeight, {}};
        const std::size_t size = static_cast<std::size_t>(m_outputWidth) * m_outputHeight * 3;
        if (run.exitCode != 0 || run.out.size() != size) {
            return std::nullopt;
        }
        screen.rgb.assign(run.out.begin(), run.out.end());
        return screen;
    }

    // The screen once two readings in a row agree (animations and hover washes settled).
    std::optional<Screen> SettledGrab() {
        std::optional<Screen> screen;
        eventually(
            [&] {
                std::optional<Screen> previous = std::move(screen);
                screen = Grab();
                return previous && screen && previous->rgb == screen->rgb;
            },
            10s);
        return screen;
    }

    // The main window's top-left corner on the screen and its width (weston places new windows
    // where it likes). The top is the first row with a long run of the frame colour; the left
    // edge and the width come from the longest run, since the rows of the rounded top corners
    // are shorter on both sides and, depending on how their edge pixels blend, may or may not
    // carry the exact frame colour.
    std::optional<std::pair<Point, int>> LocateMainWindow() {
        const std::optional<Screen> screen = Grab();
        if (!screen) {
            return std::nullopt;
        }
        const int least = kMainWidth * m_scale * 3 / 4;
        std::optional<int> top;
        int longest = 0;
        int left = 0;
        for (int y = 0; y < screen->height && (!top || y < *top + kMainHeight * m_scale); ++y) {
            int run = 0;
            for (int x = 0; x <= screen->width; ++x) {
                if (x < screen->width && screen->At(x, y) == kFrameGrey) {
                    ++run;
                    continue;
                }
                if (run >= least) {
                    top = top.value_or(y);
                    if (run > longest) {
                        longest = run;
                        left = x - run;
                    }
                }
                run = 0;
            }
        }
        if (!top) {
            return std::nullopt;
        }
        return std::make_pair(Point{left, *top}, longest);
    }

    // The main window's place and width once two readings in a row agree: while it zooms in
    // at its start it is seen smaller and off its place, and a click there would miss.
    std::optional<std::pair<Point, int>> SettledMainWindow() {
        std::optional<std::pair<Point, int>> found;
        eventually(
            [&] {
                std::optional<std::pair<Point, int>> previous = std::move(found);
                found = LocateMainWindow();
                return previous && found && *previous == *found;
            },
            10s);
        return found;
    }

    std::optional<Point> WaitForMainWindow() {
        const std::optional<std::pair<Point, int>> found = SettledMainWindow();
        return found ? std::optional<Point>(found->first) : std::nullopt;
    }

    // Pixels that differ between two pictures of the screen, inside and outside a rectangle
    // (the rows of the main window above its animated picture only).
    static std::pair<int, int> ChangedPixels(const Screen& before, const Screen& after,
                                             Point window, int rows, const Popup& inside,
                                             const Popup& ignored) {
        int in = 0;
        int out = 0;
        auto within = [&](const Popup& r, int x, int y) {
            return x >= window.x + r.x && x < window.x + r.x + r.width && y >= window.y + r.y &&
                   y < window.y + r.y + r.height;
        };
        for (int y = std::max(0, window.y); y < std::min(after.height, window.y + rows); ++y) {
            for (int x = 0; x < after.width; ++x) {
                if (before.At(x, y) == after.At(x, y) || within(ignored, x, y)) {
                    continue;
                }
                ++(within(inside, x, y) ? in : out);
            }
        }
        return {in, out};
    }

    // Opens the window menu with the mouse; checks that it is drawn under its button, inside
    // the main window, and nowhere else. Its place in the log.
    // Takes the pointer out of weston's X window and back in: weston gives its clients the
    // pointer from the X window's enter event on, and a pointer that was already over the
    // window when weston started never entered it.
    void EnterOutput() {
        Xdotool("mousemove " + std::to_string(m_outputWidth + 20) + " " +
                std::to_string(m_outputHeight + 20) + " sleep 0.2 mousemove " +
                std::to_string(m_outputWidth / 2) + " " + std::to_string(m_outputHeight / 2) +
                " sleep 0.2");
    }

    std::optional<Popup> OpenMenu(Point window) {
        // The pointer rests on the button first, and the screen is read once it stays the same
        // (hover washes and fades settled): only the menu and the pressed button change then.
        EnterOutput();
        Xdotool("mousemove " + std::to_string(window.x + kMenuButtonX * m_scale) + " " +
                std::to_string(window.y + kMenuButtonY * m_scale));
        const std::optional<Screen> before = SettledGrab();
        const std::size_t from = m_program->output().size();
        Xdotool("click 1");
        if (!before || !Logged("popup \"Menu\" ", from)) {
            ADD_FAILURE() << "the menu did not open at " << window.x << "," << window.y << ": "
                          << m_program->output();
            return std::nullopt;
        }
        std::optional<Popup> menu = LastPopup("Menu");
        if (!menu) {
            return std::nullopt;
        }
        // Under the title bar, below its button, within the window.
        EXPECT_GT(menu->y, kMenuButtonY * m_scale);
        EXPECT_GE(menu->x, 0);
        EXPECT_LE(menu->x + menu->width, kMainWidth * m_scale);
        // What changed on the screen (the menu drawn, its button pressed under the pointer) lies
        // inside the menu's place; only the rows above the animated picture are compared.
        const int button = 16 * m_scale;
        const Popup pressed{2 * button, 2 * button, kMenuButtonX * m_scale - button,
                            kMenuButtonY * m_scale - button};
        std::pair<int, int> changed{0, 0};
        eventually(
            [&] {
                const std::optional<Screen> after = Grab();
                if (after) {
                    changed = ChangedPixels(*before, *after, window, 230 * m_scale, *menu, pressed);
                }
                return changed.first > 200 * m_scale * m_scale;
            },
            10s);
        EXPECT_GT(changed.first, 200 * m_scale * m_scale) << "the menu is not on the screen";
        EXPECT_EQ(changed.second, 0) << "pixels changed outside the menu's place";
        return menu;
    }

    int m_scale = 1;
    int m_outputWidth = 0;
    int m_outputHeight = 0;
    std::optional<fs::path> m_import;
    fs::path m_runtime;
    const std::string m_socket = "auralis-test-wayland";
    std::unique_ptr<ChildProcess> m_compositor;
    std::unique_ptr<SimNeighbourhood> m_sim;
    std::unique_ptr<ChildProcess> m_program;
};

// The program runs natively with SDL's Wayland driver (not through XWayland), and a second start
// raises the first window and ends at once. Weston runs nested in the test's Xvfb: its headless
// backend offers no seat, and SDL 2.26's Wayland driver crashes while starting without one.
TEST_F(WaylandSessionTest, RunsNativelyAndASecondStartRaisesTheWindow) {
    if (!StartSession(1, 1024, 768)) {
        return;
    }
    EXPECT_TRUE(Logged("SDL video driver wayland")) << m_program->output();
    ChildProcess second({ProgramPath().string()},
                        WaylandProgramOptions(*m_sim, "wayland-second.log"));
    const std::optional<int> status = second.wait(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << second.output();
    EXPECT_TRUE(Logged("Second start: main window brought to the front")) << m_program->output();
}

// A press in the title bar hands the move to the compositor (the window's hit test), and the
// window follows the pointer.
TEST_F(WaylandSessionTest, DraggingTheTitleBarMovesTheWindow) {
    if (!StartSession(1, 1024, 768)) {
        return;
    }
    const std::optional<Point> start = WaitForMainWindow();
    ASSERT_TRUE(start.has_value()) << "the main window is not on the screen";
    // Towards the middle of the output, so that the whole move fits on it.
    const int dx = start->x > 300 ? -150 : 150;
    const int dy = start->y > 200 ? -60 : 60;
    const Point grip{start->x + 150, start->y + 16};
    std::optional<Point> now;
    bool moved = false;
    for (int attempt = 0; attempt < 3 && !moved; ++attempt) {
        EnterOutput();
        // The pointer rests on the grip, and moves there once more, before the press: the
        // window's hit test reads where the client last saw the pointer, and a press that
        // arrives before the compositor's motion would be tested at a stale point.
        Xdotool("mousemove " + std::to_string(grip.x) + " " + std::to_string(grip.y) +
                " sleep 0.3 mousemove " + std::to_string(grip.x + 1) + " " +
                std::to_string(grip.y) + " sleep 0.2 mousemove " + std::to_string(grip.x) + " " +
                std::to_string(grip.y) + " sleep 0.3");
        Xdotool("mousedown 1 sleep 0.3 mousemove " + std::to_string(grip.x + dx / 3) + " " +
                std::to_string(grip.y + dy / 3) + " sleep 0.2 mousemove " +
                std::to_string(grip.x + dx) + " " + std::to_string(grip.y + dy) +
                " sleep 0.2 mouseup 1");
        // Until the window is seen where the pointer took it: a grab taken while the
        // compositor redraws the moving window can show it incomplete for a moment.
        const Point expected{start->x + dx, start->y + dy};
        moved = eventually(
            [&] {
                std::optional<std::pair<Point, int>> found = LocateMainWindow();
                now = found ? std::optional<Point>(found->first) : std::nullopt;
                return now && *now == expected;
            },
            3s);
    }
    ASSERT_TRUE(moved) << "the window is not where the pointer took it: "
                       << (now ? std::to_string(now->x) + "," + std::to_string(now->y)
                               : std::string("not found"))
                       << " instead of " << start->x + dx << "," << start->y + dy << "\n"
                       << m_program->output();
}

// The window menu opens under its button as a popup of the main window; the keys choose in it;
// the about dialog opens centred on the main window with its corners showing the window behind,
// follows the pointer when dragged by its title, and closes with Escape; the same through the menu
// entry and the dialog's close button, pressed by their accessible actions; the pairing list opens
// over the window and its arrows and Return choose a pair.
TEST_F(WaylandSessionTest, MenuDialogsAndPairingListOpenOverTheWindowAndClose) {
    if (!StartSession(1, 1024, 768, TwoPairs())) {
        return;
    }
    const std::optional<Point> window = WaitForMainWindow();
    ASSERT_TRUE(window.has_value()) << "the main window is not on the screen";

    // Keyboard: the only choosable entry is the about entry.
    ASSERT_TRUE(OpenMenu(*window).has_value());
    std::size_t from = m_program->output().size();
    Xdotool("key Down");
    Xdotool("key Return");
    ASSERT_TRUE(Logged("popup \"Menu\" hidden", from)) << m_program->output();
    ASSERT_TRUE(Logged("popup \"About Auralis Manager\" ", from)) << m_program->output();
    std::optional<Popup> dialog = LastPopup("About Auralis Manager");
    ASSERT_TRUE(dialog.has_value());
    EXPECT_NEAR(dialog->x + dialog->width / 2, kMainWidth / 2, 2);
    EXPECT_NEAR(dialog->y + dialog->height / 2, kMainHeight / 2, 2);
    // The dialog's outermost corner pixel is its transparent shadow margin: it shows the
    // (dimmed) main window, never black.
    const Point corner{window->x + dialog->x + 1, window->y + dialog->y + 1};
    std::array<int, 3> colour{};
    ASSERT_TRUE(eventually(
        [&] {
            const std::optional<Screen> screen = Grab();
            colour = screen ? screen->At(corner.x, corner.y) : std::array<int, 3>{};
            return colour[0] + colour[1] + colour[2] > 3 * 100;
        },
        10s))
        << "corner " << colour[0] << "," << colour[1] << "," << colour[2];
    // Dragged by its title, the dialog follows the pointer (the program moves it): its inside
    // appears again, unchanged, as far off as the pointer went.
    const std::optional<Screen> still = SettledGrab();
    ASSERT_TRUE(still.has_value());
    const int dx = window->x < 200 ? 40 : -40;
    const int dy = 60;
    const Point grip{window->x + dialog->x + 100, window->y + dialog->y + 22};
    // A drag in four steps, each given time to reach the program on a loaded machine.
    Xdotool("mousemove " + std::to_string(grip.x) + " " + std::to_string(grip.y));
    std::string drag = "mousedown 1 sleep 0.3";
    for (int step = 1; step <= 4; ++step) {
        drag += " mousemove " + std::to_string(grip.x + dx * step / 4) + " " +
                std::to_string(grip.y + dy * step / 4) + " sleep 0.2";
    }
    Xdotool(drag + " sleep 0.3 mouseup 1");
    const int left = window->x + dialog->x + 20;
    const int top = window->y + dialog->y + 50;
    const int right = window->x + dialog->x + dialog->width - 20;
    const int bottom = window->y + dialog->y + dialog->height - 20;
    int differing = 0;
    const bool followed = eventually(
        [&] {
            const std::optional<Screen> moved = Grab();
            if (!moved) {
                return false;
            }
            differing = 0;
            for (int y = top; y < bottom; ++y) {
                for (int x = left; x < right; ++x) {
                    differing += still->At(x, y) != moved->At(x + dx, y + dy) ? 1 : 0;
                }
            }
            return differing * 100 < (right - left) * (bottom - top);
        },
        10s);
    EXPECT_TRUE(followed) << differing << " pixels of the dialog's inside are not where the "
                          << "pointer took it";

    from = m_program->output().size();
    Xdotool("key Escape");
    ASSERT_TRUE(Logged("popup \"About Auralis Manager\" hidden", from)) << m_program->output();

    // Through the menu again, its about entry and the dialog's close button pressed by their
    // accessible actions.
    ASSERT_TRUE(OpenMenu(*window).has_value());
    from = m_program->output().size();
    ASSERT_TRUE(Press({.role = "menu item", .name = "About Auralis Manager"}));
    ASSERT_TRUE(Logged("popup \"About Auralis Manager\" ", from)) << m_program->output();
    from = m_program->output().size();
    ASSERT_TRUE(Press({.role = "push button", .name = "Close", .window = "About Auralis Manager"}));
    EXPECT_TRUE(Logged("popup \"About Auralis Manager\" hidden", from)) << m_program->output();

    // The pairing list, from the welcome screen's Connect button.
    from = m_program->output().size();
    ASSERT_TRUE(Press(ConnectButton()));
    ASSERT_TRUE(eventually([&] { return LastPopup("[^\"]+", from).has_value(); }, 20s))
        << m_program->output();
    EXPECT_NE(m_program->output().find("ShowBluetoothDevicesPopup", from), std::string::npos);
    const std::optional<Popup> list = LastPopup("[^\"]+", from);
    ASSERT_TRUE(list.has_value());
    EXPECT_GE(list->x, -list->width / 4);
    EXPECT_LE(list->x + list->width, kMainWidth + list->width / 4);
    // The arrows and Return choose a pair (the keys reach the list, not the window below).
    from = m_program->output().size();
    Xdotool("key Down");
    Xdotool("key Return");
    EXPECT_TRUE(Logged("\" hidden", from)) << m_program->output();
    EXPECT_TRUE(Logged("Connected to device[", from)) << m_program->output();
}

// At output scale 2 the program takes zoom 2 from the output and the compositor does not scale
// it again: the window is 2 x 424 pixels wide on the screen, and its menu is drawn at that
// density under its button.
TEST_F(WaylandSessionTest, ScaledOutputDrawsTheWindowAtItsDensity) {
    if (!StartSession(2, 600, 700)) {
        return;
    }
    EXPECT_TRUE(Logged("the output has 2 pixels per unit")) << m_program->output();
    EXPECT_TRUE(Logged("zoom 2.00 from the desktop's scale setting")) << m_program->output();
    EXPECT_EQ(m_program->output().find("zoom 2.00 ->"), std::string::npos) << m_program->output();
    const std::optional<std::pair<Point, int>> found = SettledMainWindow();
    ASSERT_TRUE(found.has_value()) << "the main window is not on the screen";
    EXPECT_NEAR(found->second, 2 * kMainWidth, 2);
    const std::optional<Popup> menu = OpenMenu(found->first);
    ASSERT_TRUE(menu.has_value());
    EXPECT_EQ(menu->width % 2, 0);
}

}  // namespace
