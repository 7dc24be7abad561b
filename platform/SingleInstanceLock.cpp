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
    return folder / m_name;
}

bool SingleInstanceLock::tryAcquire() {
    if (m_fd >= 0) {
        return true;
    }
    const std::filesystem::path path = lockFilePath();
    if (!paths::ensurePrivateFolder(path.parent_path())) {
        return false;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void SingleInstanceLock::release() {
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}

}  // namespace platform
