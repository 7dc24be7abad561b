#include "tests/common/LoopbackListener.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

LoopbackListener::LoopbackListener(int backlog) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(m_fd, backlog);
    socklen_t length = sizeof(address);
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
    ::close(m_fd);
}

std::string LoopbackListener::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

}  // namespace testing_support
