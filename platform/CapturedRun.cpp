#include "platform/CapturedRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace platform::process {
namespace {

using Clock = std::chrono::steady_clock;

// Reads the pipe until the program closes it or the deadline passes; true when it closed.
bool readUntilClosed(int fd, Clock::time_point deadline, std::size_t maxOutput,
                     std::string& output) {
    char buffer[4096];
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd waiting{.fd = fd, .events = POLLIN, .revents = 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        const ssize_t count = ::read(fd, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return true;
        }
        const std::size_t room = maxOutput - std::min(maxOutput, output.size());
        output.append(buffer, std::min(room, static_cast<std::size_t>(count)));
    }
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

CapturedRun runCaptured(const std::string& path, const std::vector<std::string>& args,
                        std::chrono::milliseconds timeout, std::size_t maxOutput) {
    CapturedRun run;
    int pipeFds[2];
    if (path.empty() || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return run;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return run;
    }
    run.started = true;
    const bool closed = readUntilClosed(pipeFds[0], Clock::now() + timeout, maxOutput, run.output);
    ::close(pipeFds[0]);
    if (!closed) {
        ::kill(pid, SIGKILL);
    }
    const int status = waitFor(pid);
    run.exitStatus = closed ? status : -1;
    return run;
}

}  // namespace platform::process
