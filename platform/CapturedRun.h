#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace platform::process {

// What a program printed and how it ended.
struct CapturedRun {
    // False when the program could not be started at all (not found, not executable).
    bool started = false;
    // The exit status; -1 when it was killed (by a signal, or because it ran too long).
    int exitStatus = -1;
    // Its standard output, at most the limit asked for (the rest is read and dropped).
    std::string output;

    bool succeeded() const { return started && exitStatus == 0; }
};

// Runs a program (looked up in $PATH when the name has no '/'), waits for it at most timeout
// and returns its standard output; standard error goes to /dev/null, standard input reads
// nothing. A program still running at the time-out is killed.
CapturedRun runCaptured(const std::string& path, const std::vector<std::string>& args,
                        std::chrono::milliseconds timeout, std::size_t maxOutput = 64 * 1024);

}  // namespace platform::process
