#pragma once

#include <filesystem>
#include <string>

namespace platform {

// A named lock held for the lifetime of the process: an flock'ed file <name> in
// $XDG_RUNTIME_DIR (or, without one, in the user folder). The kernel drops the lock when the
// process ends, however it ends, so a crash never leaves a stale lock behind.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(std::string name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    enum class Outcome {
        Acquired,       // this object now holds the lock
        HeldElsewhere,  // another process holds it
        Unavailable,    // there is no private folder for the lock file, or it cannot be opened
    };
    Outcome acquire();
    // True when this object now holds the lock; false when another holder has it or the lock
    // file cannot be opened.
    bool tryAcquire() { return acquire() == Outcome::Acquired; }
    void release();
    bool held() const { return m_fd >= 0; }

    std::filesystem::path lockFilePath() const;

private:
    std::string m_name;
    int m_fd = -1;
};

}  // namespace platform
