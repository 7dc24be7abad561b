#include "platform/bluetooth/FdConnection.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace platform::bluetooth {

FdConnection::FdConnection(int fd, std::chrono::milliseconds sendTimeout) : m_fd(fd) {
    const auto micros = std::chrono::microseconds(sendTimeout).count();
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(micros / 1000000);
    timeout.tv_usec = static_cast<suseconds_t>(micros % 1000000);
    // The result is not checked: without the time-out a send to a stalled peer only blocks
    // longer.
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
}

FdConnection::~FdConnection() {
    if (m_fd >= 0) {
        // A link dropped without close(): shut it down all the same. Another process may hold a
        // copy of the socket (bluetoothd does), and only a shutdown ends the link for it too.
        if (!m_closed.load()) {
            ::shutdown(m_fd, SHUT_RDWR);
        }
        ::close(m_fd);
    }
}

std::pair<std::shared_ptr<FdConnection>, std::shared_ptr<FdConnection>> FdConnection::createPair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        return {};
    }
    return {std::make_shared<FdConnection>(fds[0]), std::make_shared<FdConnection>(fds[1])};
}

std::ptrdiff_t FdConnection::send(const uint8_t* bytes, std::size_t length) {
    if (m_closed.load() || m_fd < 0) {
        return -1;
    }
    std::lock_guard lock(m_sendMutex);
    std::size_t sent = 0;
    while (sent < length) {
        const ssize_t result = ::send(m_fd, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (result > 0) {
            sent += static_cast<std::size_t>(result);
            continue;
        }
        if (result < 0 && errno == EINTR) {
            continue;
        }
        // Time-out (EAGAIN), broken pipe or a shut-down socket.
        return -1;
    }
    return static_cast<std::ptrdiff_t>(length);
}

std::ptrdiff_t FdConnection::receive(uint8_t* buffer, std::size_t capacity) {
    if (m_closed.load() || m_fd < 0) {
        return 0;
    }
    for (;;) {
        const ssize_t result = ::recv(m_fd, buffer, capacity, 0);
        if (result >= 0) {
            return result;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

void FdConnection::close() {
    if (!m_closed.exchange(true) && m_fd >= 0) {
        ::shutdown(m_fd, SHUT_RDWR);
    }
}

bool FdConnection::isOpen() const {
    return !m_closed.load();
}

}  // namespace platform::bluetooth
