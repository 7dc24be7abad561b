#include "tests/services/LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "tests/common/Eventually.h"

namespace testing_support {

LocalHttpServer::LocalHttpServer() {
    // The socket listens from here on, so requests made before start() simply wait.
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("cannot bind the test HTTP server");
    }
}

LocalHttpServer::~LocalHttpServer() {
    stop();
}

void LocalHttpServer::start() {
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() is ignored until the server runs; wait for that so a quick stop cannot be lost.
    testing_support::eventually([this] { return m_server.is_running(); }, std::chrono::seconds(5));
}

void LocalHttpServer::stop() {
    m_server.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::string LocalHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

int LocalHttpServer::closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);  // bound but never listening: connections to it are refused
    return port;
}

}  // namespace testing_support
