#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/bluetooth/Connection.h"

namespace platform::bluetooth {

// A Connection over a connected stream socket that this object owns.
//
// close() only shuts the socket down; the descriptor itself is released by the destructor.
// A thread blocked in receive() therefore wakes with 0 and can never find the descriptor number
// handed to an unrelated file in the meantime. Hold connections by shared_ptr so that the
// reading thread keeps the object alive for as long as it reads.
class FdConnection final : public Connection {
public:
    // A send that the peer does not take within this time fails.
    static constexpr std::chrono::milliseconds kSendTimeout{500};

    // Takes ownership of fd (a connected SOCK_STREAM socket) and sets its send time-out
    // (tests pass a shorter one).
    explicit FdConnection(int fd, std::chrono::milliseconds sendTimeout = kSendTimeout);
    ~FdConnection() override;
    FdConnection(const FdConnection&) = delete;
    FdConnection& operator=(const FdConnection&) = delete;

    // Two connected ends of a local socket pair; for tests, benchmarks and in-process peers.
    // Both are null when the pair cannot be created.
    static std::pair<std::shared_ptr<FdConnection>, std::shared_ptr<FdConnection>> createPair();

    std::ptrdiff_t send(const uint8_t* bytes, std::size_t length) override;
    std::ptrdiff_t receive(uint8_t* buffer, std::size_t capacity) override;
    void close() override;
    bool isOpen() const override;

    int fd() const { return m_fd; }

private:
    const int m_fd;
    std::atomic<bool> m_closed{false};
    // Keeps the bytes of one send together when a send goes out in several pieces.
    std::mutex m_sendMutex;
};

}  // namespace platform::bluetooth
