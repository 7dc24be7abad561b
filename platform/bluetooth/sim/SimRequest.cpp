#include "platform/bluetooth/sim/SimRequest.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::bluetooth {
namespace {

// An answer line longer than this is not an answer of the neighbourhood.
constexpr std::size_t kMaxLineLength = 4096;

}  // namespace

SimRequest::SimRequest(const std::filesystem::path& socketPath, std::chrono::milliseconds timeout)
    : m_path(socketPath), m_deadline(std::chrono::steady_clock::now() + timeout) {}

SimRequest::~SimRequest() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int SimRequest::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool SimRequest::waitFor(short events) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            m_error = ETIMEDOUT;
            return false;
        }
        pollfd entry{.fd = m_fd, .events = events, .revents = 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            m_error = errno;
            return false;
        }
    }
}

bool SimRequest::send(const std::string& line) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = m_path.string();
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        m_error = path.empty() ? ENOENT : ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        m_error = errno;
        return false;
    }
    // A local stream socket connects at once or fails at once.
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        m_error = errno;
        return false;
    }
    const std::string request = line + "\n";
    std::size_t sent = 0;
    while (sent < request.size()) {
        if (!waitFor(POLLOUT)) {
            return false;
        }
        const ssize_t result =
            ::send(m_fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (result > 0) {
            sent += static_cast<std::size_t>(result);
        } else if (result < 0 && errno != EINTR && errno != EAGAIN) {
            m_error = errno;
            return false;
        }
    }
    return true;
}

bool SimRequest::readLine(std::string& line) {
    line.clear();
    if (m_fd < 0) {
        m_error = ENOTCONN;
        return false;
    }
    for (;;) {
        if (!waitFor(POLLIN)) {
            return false;
        }
        char byte = 0;
        const ssize_t result = ::recv(m_fd, &byte, 1, MSG_DONTWAIT);
        if (result == 0) {
            m_error = ECONNRESET;
            return false;
        }
        if (result < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            m_error = errno;
            return false;
        }
        if (byte == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return true;
        }
        if (line.size() >= kMaxLineLength) {
            m_error = EPROTO;
            return false;
        }
        line.push_back(byte);
    }
}

}  // namespace platform::bluetooth
