#include "platform/bluetooth/FdConnection.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <future>
#include <vector>

using platform::bluetooth::FdConnection;

TEST(FdConnectionTest, BytesTravelBothWays) {
    auto [a, b] = FdConnection::createPair();
    ASSERT_TRUE(a && b);
    const uint8_t frame[] = {0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD};
    EXPECT_EQ(a->send(frame, sizeof(frame)), 7);
    uint8_t buffer[16];
    EXPECT_EQ(b->receive(buffer, sizeof(buffer)), 7);
    EXPECT_EQ(buffer[3], 0x29);
    EXPECT_EQ(b->send(frame, 3), 3);
    EXPECT_EQ(a->receive(buffer, sizeof(buffer)), 3);
}

TEST(FdConnectionTest, CloseWakesABlockedReaderAndKeepsTheDescriptorUntilDestroyed) {
    auto [a, b] = FdConnection::createPair();
    auto reader = std::async(std::launch::async, [connection = a] {
        uint8_t buffer[16];
        return connection->receive(buffer, sizeof(buffer));
    });
    EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    a->close();
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(reader.get(), 0);
    EXPECT_FALSE(a->isOpen());
    // The number still names our socket, so no other file can take it over under a reader.
    EXPECT_NE(::fcntl(a->fd(), F_GETFD), -1);
    a->close();
    const uint8_t byte = 1;
    EXPECT_EQ(a->send(&byte, 1), -1);
    // The peer sees the end of the stream.
    uint8_t buffer[4];
    EXPECT_EQ(b->receive(buffer, sizeof(buffer)), 0);
}

TEST(FdConnectionTest, SendsFailInsteadOfRaisingSignalsOrBlocking) {
    {
        auto [a, b] = FdConnection::createPair();
        b.reset();
        const uint8_t byte = 1;
        // A vanished peer is a failure, not SIGPIPE.
        EXPECT_EQ(a->send(&byte, 1), -1);
    }
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    FdConnection writer(fds[0], std::chrono::milliseconds(20));
    FdConnection silent(fds[1]);
    // A peer that never reads: the buffers fill up, then the send times out whole.
    const std::vector<uint8_t> block(64 * 1024, 0x55);
    std::ptrdiff_t result = 0;
    for (int i = 0; i < 1000 && result != -1; ++i) {
        result = writer.send(block.data(), block.size());
    }
    EXPECT_EQ(result, -1);
}
