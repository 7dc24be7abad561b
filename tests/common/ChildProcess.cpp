#include "tests/common/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

std::string nameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// The inherited environment without the removed and overridden names, then the extras.
std::vector<std::string> environmentFor(const ChildOptions& options) {
    std::vector<std::string> dropped = options.removedEnvironment;
    for (const std::string& extra : options.extraEnvironment) {
        dropped.push_back(nameOf(extra));
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::find(dropped.begin(), dropped.end(), nameOf(*entry)) == dropped.end()) {
            environment.emplace_back(*entry);
        }
    }
    environment.insert(environment.end(), options.extraEnvironment.begin(),
                       options.extraEnvironment.end());
    return environment;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Starts the program; stdout and stderr go to the given descriptors when they are not -1
// (before options.output, which then does not apply). -1 when it could not start.
pid_t spawnChild(std::vector<std::string> args, const ChildOptions& options, int outFd = -1,
                 int errFd = -1) {
    if (args.empty()) {
        return -1;
    }
    std::vector<std::string> environment = environmentFor(options);
    std::vector<char*> argv = pointersTo(args);
    std::vector<char*> envp = pointersTo(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.inputFromNull) {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    } else if (!options.output.empty()) {
        const int mode = O_WRONLY | O_CREAT | (options.appendOutput ? O_APPEND : O_TRUNC);
        posix_spawn_file_actions_addopen(&actions, 1, options.output.c_str(), mode, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    if (outFd < 0 && options.outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.outputFd, 1);
    }
    if (options.extraFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, options.extraFd, 3);
    }
    if (!options.workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder.c_str());
    }
    pid_t pid = -1;
    const int result =
        options.searchPath
            ? posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data())
            : posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

// Reaps pid if it has ended: true with its wait status then.
bool reapedNow(pid_t pid, int& status) {
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return true;
        }
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done < 0) {
            status = 0;  // not our child any more (reaped elsewhere): nothing to wait for
            return true;
        }
        return false;
    }
}

bool reapWithin(pid_t pid, int& status, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!reapedNow(pid, status)) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Appends whatever the descriptor has now; false once it reached its end (or failed).
bool drain(int fd, std::string& into) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return got < 0 && errno == EAGAIN;
    }
}

}  // namespace

int exitCodeOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

ChildProcess::ChildProcess(const std::vector<std::string>& args, const ChildOptions& options) {
    start(args, options);
}

ChildProcess::~ChildProcess() {
    stop();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_output(std::move(other.m_output)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        m_pid = std::exchange(other.m_pid, -1);
        m_output = std::move(other.m_output);
    }
    return *this;
}

bool ChildProcess::start(const std::vector<std::string>& args, const ChildOptions& options) {
    stop();
    m_output = options.output;
    m_pid = spawnChild(args, options);
    return m_pid > 0;
}

std::string ChildProcess::output() const {
    std::ifstream in(m_output, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds limit) {
    int status = 0;
    if (m_pid <= 0 || !reapWithin(m_pid, status, limit)) {
        return std::nullopt;
    }
    m_pid = -1;
    return exitCodeOf(status);
}

std::optional<int> ChildProcess::signal(int signalNumber, std::chrono::milliseconds limit) {
    if (m_pid <= 0) {
        return std::nullopt;
    }
    ::kill(m_pid, signalNumber);
    return wait(limit);
}

std::optional<int> ChildProcess::stop(std::chrono::milliseconds grace) {
    if (m_pid <= 0) {
        return std::nullopt;
    }
    if (std::optional<int> code = signal(SIGTERM, grace)) {
        return code;
    }
    killAndReap(m_pid);
    m_pid = -1;
    return 128 + SIGKILL;
}

ProgramRun runProgram(const std::vector<std::string>& args, const ChildOptions& options,
                      std::chrono::milliseconds limit) {
    ProgramRun run;
    std::array<int, 2> out{-1, -1};
    std::array<int, 2> err{-1, -1};
    if (::pipe2(out.data(), O_CLOEXEC) != 0 || ::pipe2(err.data(), O_CLOEXEC) != 0) {
        for (int fd : {out[0], out[1], err[0], err[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return run;
    }
    const pid_t pid = spawnChild(args, options, out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);

    // Output is read while the program runs (so a full pipe never stalls it) and once more after
    // it ended; a descendant that keeps the pipes open does not hold the run up.
    const auto deadline = Clock::now() + limit;
    bool outOpen = pid > 0;
    bool errOpen = pid > 0;
    int status = 0;
    bool ended = pid <= 0;
    while (!ended) {
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        ::poll(fds, 2, 20);
        outOpen = outOpen && drain(out[0], run.out);
        errOpen = errOpen && drain(err[0], run.err);
        ended = reapedNow(pid, status);
        if (!ended && Clock::now() >= deadline) {
            killAndReap(pid);
            run.timedOut = true;
            break;
        }
    }
    if (ended && pid > 0) {
        drain(out[0], run.out);
        drain(err[0], run.err);
        run.exitCode = exitCodeOf(status);
    }
    ::close(out[0]);
    ::close(err[0]);
    return run;
}

}  // namespace testing_support
