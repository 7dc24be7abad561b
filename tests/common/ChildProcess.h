#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// How a child program starts: its environment, where its output goes and where it runs.
struct ChildOptions {
    // NAME=value entries added to the inherited environment; an inherited variable of the same
    // name is left out, so these win.
    std::vector<std::string> extraEnvironment;
    // Inherited variables (by name) that the child does not get.
    std::vector<std::string> removedEnvironment;
    // Where stdout and stderr go (truncated, or appended to with appendOutput). Empty: the
    // caller's own.
    std::filesystem::path output;
    bool appendOutput = false;
    // A descriptor of the caller's (a pipe's end, say) that gets stdout instead; -1: none.
    int outputFd = -1;
    // Standard input from /dev/null rather than the caller's.
    bool inputFromNull = false;
    // A descriptor of the caller's that the child gets as fd 3; -1: none.
    int extraFd = -1;
    // The child's working folder; empty: the caller's.
    std::filesystem::path workingFolder;
    // args[0] is looked up in $PATH rather than taken as a path.
    bool searchPath = false;
};

// The exit code a test compares: the program's own, or 128 + the signal that ended it.
int exitCodeOf(int waitStatus);

// A program a test or benchmark started. stop() or the destructor ends it: SIGTERM, then
// SIGKILL when it has not gone within the grace time, and reaps it either way.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const std::vector<std::string>& args, const ChildOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Moving hands the program over; the moved-from object runs nothing.
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    // Starts args (args[0] is the program); ends a child this object still runs first.
    bool start(const std::vector<std::string>& args, const ChildOptions& options = {});
    bool running() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // What the program wrote so far to options.output (empty when it had none).
    std::string output() const;

    // Waits for the program to end on its own: its exit code, or nothing when limit ran out
    // (the program then still runs).
    std::optional<int> wait(std::chrono::milliseconds limit);
    // Sends signal and waits at most limit for the program to end: its exit code, or nothing.
    std::optional<int> signal(int signalNumber, std::chrono::milliseconds limit);
    // Ends the program (see above); its exit code, or nothing when it had already been reaped.
    std::optional<int> stop(std::chrono::milliseconds grace = std::chrono::seconds(2));

private:
    pid_t m_pid = -1;
    std::filesystem::path m_output;
};

// A program run to its end.
struct ProgramRun {
    int exitCode = -1;  // -1: it could not start, or it was killed after the time limit
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs args to its end with stdout and stderr captured apart (options.output is ignored) and
// returns what it printed. A program still running after limit is killed.
ProgramRun runProgram(const std::vector<std::string>& args, const ChildOptions& options = {},
                      std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace testing_support
