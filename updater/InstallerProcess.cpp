#include "updater/InstallerProcess.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <thread>

extern char** environ;

namespace updater {
namespace {

constexpr auto kPollStep = std::chrono::milliseconds(50);

}  // namespace

int InstallerProcess::Start(const std::string& path, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // posix_spawn (not the p variant): a file the system cannot run is reported as ENOEXEC, never
    // handed to a shell.
    const int result = posix_spawn(&m_pid, path.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (result != 0) {
        m_pid = -1;
    }
    return result;
}

int InstallerProcess::Wait(std::chrono::milliseconds limit, const std::atomic<bool>& stop) {
    if (m_pid <= 0) {
        return kStillRunning;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!stop.load() && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t ended = waitpid(m_pid, &status, WNOHANG);
        if (ended == m_pid) {
            m_pid = -1;
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status);
            }
            return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 128;
        }
        if (ended < 0 && errno != EINTR) {
            m_pid = -1;
            return 128;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return kStillRunning;
}

}  // namespace updater
