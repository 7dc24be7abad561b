#pragma once

#include <sys/types.h>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace updater {

// The installer as a child the client waits for, so that a failed installation can be told to
// the user and the old program started again. The child runs in a session of its own with no
// signal blocked and only stdin, stdout and stderr inherited, so what it starts outlives us.
class InstallerProcess {
public:
    static constexpr int kStillRunning = -1;

    // 0 when started, else the errno of the failed start (ENOEXEC: not a program the system
    // can run).
    int Start(const std::string& path, const std::vector<std::string>& args);

    // Waits until the installer ends, limit passes or stop becomes true. The exit status, 128 +
    // the signal that ended it, or kStillRunning.
    int Wait(std::chrono::milliseconds limit, const std::atomic<bool>& stop);

private:
    pid_t m_pid = -1;
};

}  // namespace updater
