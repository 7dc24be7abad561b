#pragma once

#include <string>

namespace testing_support {

// A TCP socket listening on 127.0.0.1 at a port the system chose, closed on destruction. Tests
// serve from it, or let clients connect and never answer.
class LoopbackListener {
public:
    explicit LoopbackListener(int backlog = 4);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int fd() const { return m_fd; }
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by path ("/file").
    std::string url(const std::string& path) const;

private:
    int m_fd = -1;
    int m_port = 0;
};

}  // namespace testing_support
