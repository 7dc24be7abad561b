#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace bluez_test {

// A program the test started and ends again: terminated (then killed) and reaped by stop() or
// the destructor. Its stdout and stderr go to one log file.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is looked up in $PATH; the environment is the test's own.
    bool start(const std::vector<std::string>& argv, const std::filesystem::path& logFile);
    void stop();
    bool running() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

struct ProgramRun {
    int exitCode = -1;
    std::string out;
};

// Runs a program to its end and returns its exit code and stdout (stderr is appended).
ProgramRun runProgram(const std::vector<std::string>& argv);

}  // namespace bluez_test
