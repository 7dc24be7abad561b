#pragma once

#include <httplib.h>

#include <string>
#include <thread>

namespace testing_support {

// An HTTP server on a free loopback port, serving on its own thread for the lifetime of the
// object. Register handlers on server() before start().
class LocalHttpServer {
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    httplib::Server& server() { return m_server; }
    void start();
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port><path>"
    std::string url(const std::string& path = "") const;

    // A loopback port on which nothing listens.
    static int closedPort();

private:
    httplib::Server m_server;
    int m_port = -1;
    std::thread m_thread;
};

}  // namespace testing_support
