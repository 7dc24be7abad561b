// The update client as a program on a virtual display (SDL backend), installed in a folder of
// its own beside a stand-in main program, against auralis-sim's update server: a clean update,
// and one the user cancels with the mouse. Skipped where Xvfb or xdotool is missing.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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
#include "tests/common/TestSandbox.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/updater/UpdateClientHarness.h"

extern char** environ;

namespace updater_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::optional<fs::path> FindOnPath(const std::string& program) {
    std::stringstream folders(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const fs::path candidate = fs::path(folder) / program;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A child process with extra environment, stdout and stderr in a file; fd 3 may be given.
class Child {
public:
    Child(std::vector<std::string> args, const std::vector<std::string>& extraEnvironment,
          const fs::path& output, int extraFd = -1) {
        std::vector<std::string> environment(extraEnvironment);
        for (char** entry = environ; *entry != nullptr; ++entry) {
            environment.emplace_back(*entry);
        }
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (extraFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
        }
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            if (!Wait(2s).has_value() && m_pid > 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
            }
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0; }
    // The exit status once the process ended on its own; nothing on time-out.
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        std::optional<int> result;
        WaitUntil(
            [&] {
                int status = 0;
                if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                    m_pid = -1;
                    result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                }
                return result.has_value();
            },
            limit);
        return result;
    }

private:
    pid_t m_pid = -1;
};

class ClientProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_xvfb = FindOnPath("Xvfb");
        m_xdotool = FindOnPath("xdotool");
        if (!m_xvfb || !m_xdotool) {
            GTEST_SKIP() << "needs Xvfb and xdotool (Debian packages xvfb, xdotool)";
        }
        m_folder = testing_support::makeTempFolder("client-program");
        StartDisplay();
        InstallClient();
    }

    void StartDisplay() {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        m_display = std::make_unique<Child>(
            std::vector<std::string>{m_xvfb->string(), "-displayfd", "3", "-screen", "0",
                                     "1024x768x24", "-nolisten", "tcp"},
            std::vector<std::string>{}, m_folder / "xvfb.out", fds[1]);
        ::close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        WaitUntil(
            [&] {
                if (::poll(&ready, 1, 100) > 0) {
                    char buffer[16];
                    const ssize_t got = ::read(fds[0], buffer, sizeof(buffer));
                    if (got > 0) {
                        number.append(buffer, static_cast<std::size_t>(got));
                    }
                }
                return number.find('\n') != std::string::npos;
            },
            10s);
        ::close(fds[0]);
        ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start";
        m_displayName = ":" + number.substr(0, number.find('\n'));
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
            << "#!/bin/sh\necho started >> \"" << (m_install / "main.log").string() << "\"\n";
        fs::permissions(m_install / "AuralisManager", fs::perms::owner_all);
    }

    std::unique_ptr<Child> StartClient(const std::string& address) {
        return std::make_unique<Child>(
            std::vector<std::string>{(m_install / "AuralisManagerUpdateClient").string(), "/v",
                                     "9.9.9", "/u", address},
            std::vector<std::string>{"DISPLAY=" + m_displayName, "AURALIS_WINDOW_BACKEND=sdl",
                                     "AURALIS_LOG_STDERR=1", "AURALIS_SCALE=1",
                                     "AURALIS_LANG=en-US",
                                     "AURALIS_SIM_INSTALL_LOG=" + InstallLog().string()},
            m_folder / "client.out");
    }

    std::string Xdotool(const std::string& arguments) {
        const std::string command = "DISPLAY=" + m_displayName + " timeout 5 " +
                                    m_xdotool->string() + " " + arguments + " 2>/dev/null";
        std::string output;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            std::array<char, 256> buffer{};
            while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
                output += buffer.data();
            }
            ::pclose(pipe);
        }
        return output;
    }

    std::string FindWindow(const std::string& title) {
        std::string id;
        WaitUntil(
            [&] {
                id = Xdotool("search --name '^" + title + "$'");
                return !id.empty();
            },
            10s);
        return id.substr(0, id.find('\n'));
    }

    // Clicks a point of a window until `done` (a click during the opening zoom is ignored).
    bool ClickUntil(const std::string& window, int x, int y, const std::function<bool()>& done) {
        return WaitUntil(
            [&] {
                Xdotool("mousemove --window " + window + " " + std::to_string(x) + " " +
                        std::to_string(y) + " click 1");
                return WaitUntil(done, 500ms);
            },
            15s);
    }

    fs::path InstallLog() const { return m_folder / "installer.log"; }
    std::string Output() const { return ReadFile(m_folder / "client.out"); }

    std::optional<fs::path> m_xvfb;
    std::optional<fs::path> m_xdotool;
    fs::path m_folder;
    fs::path m_install;
    std::unique_ptr<Child> m_display;
    std::string m_displayName;
};

std::string InstallerAddress(const integration::SimNeighbourhood& sim) {
    return sim.updateUrl() + "/app/download/LumoraAuralisManagerSetup-9.9.9.sh";
}

TEST_F(ClientProgramTest, DownloadsAndRunsTheInstallerThenEnds) {
    integration::SimNeighbourhood sim(nlohmann::json::array(), nlohmann::json::object());
    ASSERT_FALSE(sim.updateUrl().empty());
    std::unique_ptr<Child> client = StartClient(InstallerAddress(sim));
    ASSERT_TRUE(client->Started());
    const std::optional<int> status = client->Wait(30s);
    ASSERT_TRUE(status.has_value()) << Output();
    EXPECT_EQ(*status, 0);
    EXPECT_TRUE(WaitUntil([&] { return !ReadFile(InstallLog()).empty(); }));
    EXPECT_EQ(ReadFile(InstallLog()), "9.9.9 /z\"liveupdate\"\n");
    EXPECT_FALSE(fs::exists(m_install / "main.log"));
}

TEST_F(ClientProgramTest, CancelWithTheMouseStartsTheMainProgramAgain) {
    integration::SimNeighbourhood sim(nlohmann::json::array(), nlohmann::json::object());
    // Slow enough that the user can cancel before the download completes.
    ASSERT_EQ(sim.ctl("SERVER slow=20"), "OK");
    std::unique_ptr<Child> client = StartClient(InstallerAddress(sim));
    const std::string window = FindWindow("Auralis Manager Update");
    ASSERT_FALSE(window.empty()) << Output();
    // The cancel button: 124 x 31, centred 10 above the bottom of the 400 x 144 panel, which
    // sits 8 right of and 36 below the window's corner.
    auto questionShown = [&] { return !Xdotool("search --name '^Modal Dialog$'").empty(); };
    ASSERT_TRUE(ClickUntil(window, 208, 154, questionShown)) << Output();
    // The question (360 x 160, OK left of Cancel in the button row at its bottom).
    const std::string question = FindWindow("Modal Dialog");
    auto ended = [&] { return client->Wait(10ms).has_value(); };
    ASSERT_TRUE(ClickUntil(question, 123, 140, ended)) << Output();
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(m_install / "main.log"); })) << Output();
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
    Child program(
        std::vector<std::string>{(m_install / "AuralisManager").string()},
        std::vector<std::string>{
            "DISPLAY=" + m_displayName, "AURALIS_WINDOW_BACKEND=sdl", "AURALIS_BACKEND=sim",
            "AURALIS_SIM_SOCKET=" + sim.socket().string(), "AURALIS_UPDATE_URL=" + sim.updateUrl(),
            "AURALIS_LOG_STDERR=1", "AURALIS_SCALE=1", "AURALIS_LANG=en-US", "AURALIS_OFFLINE=0",
            "AURALIS_SIM_INSTALL_LOG=" + InstallLog().string()},
        m_folder / "program.out");
    ASSERT_TRUE(program.Started());
    // The question (386 x 160): the update button is the left one of the row at its bottom.
    const std::string question = FindWindow("Modal Dialog");
    ASSERT_FALSE(question.empty()) << ReadFile(m_folder / "program.out");
    auto closed = [&] { return program.Wait(10ms).has_value(); };
    ASSERT_TRUE(ClickUntil(question, 136, 140, closed)) << ReadFile(m_folder / "program.out");
    EXPECT_TRUE(WaitUntil([&] { return !ReadFile(InstallLog()).empty(); }, 30s));
    EXPECT_NE(ReadFile(InstallLog()).find(" /z\"liveupdate\""), std::string::npos);
}

}  // namespace
}  // namespace updater_test
