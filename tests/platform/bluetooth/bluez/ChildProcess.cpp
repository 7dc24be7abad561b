#include "tests/platform/bluetooth/bluez/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/common/TestSandbox.h"

extern char** environ;

namespace bluez_test {
namespace {

pid_t spawnWithLog(const std::vector<std::string>& argv, const std::string& logPath) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

// Waits for the child at most timeout; true when it was reaped.
bool reap(pid_t pid, int& status, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::filesystem::path& logFile) {
    stop();
    m_pid = spawnWithLog(argv, logFile.string());
    return m_pid > 0;
}

void ChildProcess::stop() {
    if (m_pid <= 0) {
        return;
    }
    int status = 0;
    ::kill(m_pid, SIGTERM);
    if (!reap(m_pid, status, std::chrono::seconds(5))) {
        ::kill(m_pid, SIGKILL);
        reap(m_pid, status, std::chrono::seconds(5));
    }
    m_pid = -1;
}

ProgramRun runProgram(const std::vector<std::string>& argv) {
    const std::filesystem::path output = testing_support::makeTempFolder("run") / "out";
    ProgramRun run;
    const pid_t pid = spawnWithLog(argv, output.string());
    if (pid <= 0) {
        return run;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(output, std::ios::binary);
    run.out.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

}  // namespace bluez_test
