#include "platform/InstanceSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

InstanceSignal::InstanceSignal(std::filesystem::path path) : m_path(std::move(path)) {}

InstanceSignal::~InstanceSignal() {
    stop();
}

bool InstanceSignal::listen(std::function<void()> onKnock) {
    if (listening()) {
        return true;
    }
    // Whatever lies at the path was left by an earlier holder of the lock: replace it.
    ::unlink(m_path.c_str());
    if (::mkfifo(m_path.c_str(), 0600) != 0) {
        return false;
    }
    m_pipe = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    m_keepOpen = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    m_stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_pipe < 0 || m_keepOpen < 0 || m_stop < 0) {
        closeFd(m_pipe);
        closeFd(m_keepOpen);
        closeFd(m_stop);
        ::unlink(m_path.c_str());
        return false;
    }
    m_thread = std::thread([this, onKnock = std::move(onKnock)] { listenLoop(onKnock); });
    return true;
}

void InstanceSignal::listenLoop(std::function<void()> onKnock) {
    for (;;) {
        pollfd watched[2] = {{m_pipe, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((watched[1].revents & POLLIN) != 0) {
            return;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            char knocks[64];
            bool knocked = false;
            while (::read(m_pipe, knocks, sizeof(knocks)) > 0) {
                knocked = true;
            }
            if (knocked && onKnock) {
                onKnock();
            }
        }
    }
}

void InstanceSignal::stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop, &one, sizeof(one));
        m_thread.join();
        ::unlink(m_path.c_str());
    }
    closeFd(m_pipe);
    closeFd(m_keepOpen);
    closeFd(m_stop);
}

bool InstanceSignal::knock(const std::filesystem::path& path) {
    // Without a reader the open fails (ENXIO), so a stale pipe never blocks a second start.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool sent = false;
    if (::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) {
        const char knock = '!';
        sent = ::write(fd, &knock, 1) == 1;
    }
    ::close(fd);
    return sent;
}

}  // namespace platform
