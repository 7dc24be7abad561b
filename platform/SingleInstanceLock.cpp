#include "platform/SingleInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Paths.h"

namespace platform {

SingleInstanceLock::SingleInstanceLock(std::string name) : m_name(std::move(name)) {}

SingleInstanceLock::~SingleInstanceLock() {
    release();
}

std::filesystem::path SingleInstanceLock::lockFilePath() const {
    std::filesystem::path folder = paths::xdgRuntimeDir();
    if (folder.empty()) {
        folder = paths::userFolder();
    }
    // Without either folder there is no place for the lock: the name alone (no parent).
    return folder.empty() ? std::filesystem::path(m_name) : folder / m_name;
}

SingleInstanceLock::Outcome SingleInstanceLock::acquire() {
    if (m_fd >= 0) {
        return Outcome::Acquired;
    }
    const std::filesystem::path path = lockFilePath();
    if (path.parent_path().empty() || !paths::ensurePrivateFolder(path.parent_path())) {
        return Outcome::Unavailable;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return Outcome::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Outcome::HeldElsewhere;
    }
    m_fd = fd;
    return Outcome::Acquired;
}

void SingleInstanceLock::release() {
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace platform
