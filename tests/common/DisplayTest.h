#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "tests/common/ChildProcess.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/common/VirtualDisplay.h"

namespace testing_support {

// A test on an X server of its own (see VirtualDisplay) in a fresh folder, driven with xdotool;
// skipped where Xvfb or xdotool is missing. A fixture that sets up more after
// DisplayTest::SetUp() returns early when IsSkipped() or HasFatalFailure().
class DisplayTest : public ::testing::Test {
protected:
    explicit DisplayTest(std::string folderPrefix) : m_folderPrefix(std::move(folderPrefix)) {}

    void SetUp() override {
        m_xvfb = findOnPath("Xvfb");
        m_xdotool = findOnPath("xdotool");
        if (!m_xvfb || !m_xdotool) {
            GTEST_SKIP() << "needs Xvfb and xdotool (Debian packages xvfb, xdotool)";
        }
        m_folder = makeTempFolder(m_folderPrefix);
        ASSERT_TRUE(m_display.start(*m_xvfb, m_folder, m_screenSize)) << "Xvfb did not start";
        m_displayName = m_display.name();
    }

    // One xdotool command on the display (bounded); its output.
    std::string Xdotool(const std::string& arguments) {
        return m_display.xdotool(*m_xdotool, arguments);
    }

    // The id of the first window with that title, polled until it exists.
    std::string FindWindow(const std::string& title) {
        return m_display.findWindow(*m_xdotool, title);
    }

    // Runs an X client found on PATH (xprop, xwininfo) on the display; its output, empty when
    // the program is missing.
    std::string RunClient(const std::string& program, const std::string& arguments) {
        const std::optional<std::filesystem::path> path = findOnPath(program);
        return path ? m_display.xdotool(*path, arguments) : std::string();
    }

    // Starts a window manager (openbox, metacity) on the display and waits until it manages
    // the screen, as on a desktop: windows are placed, framed and focused by it from then on.
    // False when it is not installed or did not take over within 20 s.
    bool StartWindowManager(const std::string& name) {
        const std::optional<std::filesystem::path> program = findOnPath(name);
        if (!program || !findOnPath("xprop")) {
            return false;
        }
        // A second try on a loaded machine, where a start has been seen to miss the wait.
        for (int attempt = 0; attempt < 2; ++attempt) {
            m_windowManager = std::make_unique<ChildProcess>(
                std::vector<std::string>{program->string()},
                ChildOptions{.extraEnvironment = {"DISPLAY=" + m_displayName},
                             .output = m_folder / (name + ".log"),
                             .appendOutput = true});
            if (m_windowManager->running() &&
                eventually(
                    [&] {
                        return RunClient("xprop", "-root _NET_SUPPORTING_WM_CHECK")
                                   .find("window id") != std::string::npos;
                    },
                    std::chrono::seconds(20))) {
                return true;
            }
        }
        return false;
    }

    // What the window manager wrote (why it did not start).
    std::string WindowManagerOutput() const {
        return m_windowManager ? m_windowManager->output() : std::string();
    }

    std::filesystem::path m_folder;
    std::string m_displayName;
    // Xvfb's screen (WIDTHxHEIGHTxDEPTH); a fixture that needs more room sets it before SetUp.
    std::string m_screenSize = "1024x768x24";

private:
    std::string m_folderPrefix;
    std::optional<std::filesystem::path> m_xvfb;
    std::optional<std::filesystem::path> m_xdotool;
    VirtualDisplay m_display;
    std::unique_ptr<ChildProcess> m_windowManager;
};

}  // namespace testing_support
