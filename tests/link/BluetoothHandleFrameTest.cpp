#include <gtest/gtest.h>

#include <thread>

#include "link/FrameCodec.h"
#include "tests/link/LinkTestSupport.h"

using link_test::Bytes;
using link_test::LinkUnderTest;
using link_test::LogCapture;

TEST(BluetoothHandleFrameTest, GenerationFollowsTheConnectedDevice) {
    BluetoothHandle handle;
    EXPECT_FALSE(handle.isSecondGeneration());
    BluetoothDevice second("Auralis2 (0C11)", 1);
    BluetoothDevice first("Auralis+(4F2A)", 2);
    handle.setConnectedDevice(&second);
    EXPECT_TRUE(handle.isSecondGeneration());
    handle.setConnectedDevice(&first);
    EXPECT_FALSE(handle.isSecondGeneration());
}

TEST(BluetoothHandleFrameTest, RequestsAndAcknowledgementsAreFramedByteForByte) {
    LinkUnderTest second("Auralis+ (4F2A)");
    ASSERT_TRUE(second.handle.SendGetDeviceIMEI());
    ASSERT_TRUE(second.handle.sendResetDevice());
    ASSERT_TRUE(second.handle.sendUpdateResponse(0x60));
    EXPECT_EQ(second.sentBytes(), link_test::join({
                                      {0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD},
                                      {0xFD, 0x00, 0x03, 0x50, 0xF5, 0x5A, 0xDD},
                                      {0xFD, 0x04, 0x10, 0x60, 0x00, 0x2A, 0x0B, 0xDD},
                                  }));

    LinkUnderTest first("Auralis (77A0)");
    ASSERT_TRUE(first.handle.SendGetDeviceIMEI());
    ASSERT_TRUE(first.handle.sendResetDevice());
    ASSERT_TRUE(first.handle.sendUpdateResponse(0x60));
    EXPECT_EQ(first.sentBytes(), link_test::join({
                                     {0xFE, 0x00, 0x03, 0x29, 0x4B, 0xB5, 0xEE},
                                     {0xFE, 0x00, 0x03, 0x50, 0xF5, 0x5A, 0xEE},
                                     {0xFE, 0x01, 0x05, 0x51, 0x60, 0x00, 0xD4, 0x62, 0xEE},
                                 }));
}

TEST(BluetoothHandleFrameTest, BuilderLeavesTheChecksumToTheSendPath) {
    LinkUnderTest link("Auralis+ (4F2A)");
    const uint8_t body[] = {0x29, 0xAA, 0xBB};
    const Bytes frame = link.handle.buildSPPMessage(body, sizeof(body), false, 0, true);
    EXPECT_EQ(frame, (Bytes{0xFD, 0x03, 0x00, 0x29, 0xAA, 0xBB, 0xDD}));
    // Without the model header a second-generation frame carries the first-generation header.
    EXPECT_EQ(link.handle.buildSPPMessage(body, sizeof(body), false, 1, false),
              (Bytes{0xFD, 0x01, 0x03, 0x29, 0xAA, 0xBB, 0xDD}));
    EXPECT_TRUE(link.handle.buildSPPMessage(body, 2, false, 0, true).empty());
    ASSERT_TRUE(link.handle.sendSPPMessage(frame));
    EXPECT_EQ(link.sentBytes(), (Bytes{0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD}));
    EXPECT_FALSE(link.handle.sendSPPMessage(Bytes{0xFD, 0x00, 0x00, 0xDD}));
    EXPECT_TRUE(link.sentBytes().empty());

    const uint8_t digits[] = "x123456789";
    EXPECT_EQ(link.handle.calcCRC16(digits, 1, 10), 0x31C3);
    EXPECT_EQ(link.handle.calcCRC16(digits, 4, 4), 0);
    EXPECT_EQ(link.handle.calcCRC16(digits, 5, 4), 0);
}

TEST(BluetoothHandleFrameTest, SendsAreLoggedAndFailAfterFiveAttempts) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    ASSERT_TRUE(link.handle.SendGetDeviceIMEI());
    const std::string text = log.text();
    EXPECT_NE(text.find("=====SendGetDeviceIMEI start====="), std::string::npos);
    EXPECT_NE(text.find("+++++++++++++++++++++++++++SENDING MESSAGE+++++++++++++++++++++++++++++"
                        "+++++"),
              std::string::npos);
    EXPECT_NE(text.find("MSGID = 29 "), std::string::npos);
    EXPECT_NE(text.find("[BluetoothHandle::sendSPPMessage]: SENT: fd 03 00 29 4b b5 dd "),
              std::string::npos);
    EXPECT_NE(text.find("SendData -> bytes_sent = 7 | try send Count[1]"), std::string::npos);
    EXPECT_EQ(text.find("try send Count[2]"), std::string::npos);

    // A closed stream: five attempts, then false; nothing reaches the peer.
    link.ours->close();
    EXPECT_FALSE(link.handle.sendUpdateResponse(0x61));
    EXPECT_NE(log.text().find("SendData -> bytes_sent = -1 | try send Count[5]"),
              std::string::npos);
    EXPECT_EQ(log.text().find("try send Count[6]"), std::string::npos);
}

TEST(BluetoothHandleFrameTest, NothingIsSentBeforeTheFirstConnection) {
    LogCapture log;
    BluetoothHandle handle;
    EXPECT_FALSE(handle.SendGetDeviceIMEI());
    EXPECT_FALSE(handle.sendResetDevice());
    EXPECT_FALSE(handle.sendUpdateResponse(0x60));
    EXPECT_FALSE(log.contains("SENDING MESSAGE"));
    EXPECT_TRUE(log.contains("=====SendResetDevice start====="));
    EXPECT_TRUE(log.contains("=====SendUpdateResponse start====="));
    // The send path itself has no stream to use.
    EXPECT_EQ(handle.sendData(Bytes{0xFE, 0x00, 0x03, 0x29, 0x4B, 0xB5, 0xEE}), -1);
}

TEST(BluetoothHandleFrameTest, ConcurrentSendersNeverInterleaveFrames) {
    LinkUnderTest link("Auralis+ (4F2A)");
    constexpr int kPerThread = 200;
    std::thread a([&] {
        for (int i = 0; i < kPerThread; ++i) {
            link.handle.SendGetDeviceIMEI();
        }
    });
    std::thread b([&] {
        for (int i = 0; i < kPerThread; ++i) {
            link.handle.sendUpdateResponse(0x61);
        }
    });
    Bytes received;
    while (received.size() < kPerThread * (7 + 8)) {
        uint8_t buffer[1024];
        const auto got = link.peer->receive(buffer, sizeof(buffer));
        ASSERT_GT(got, 0);
        received.insert(received.end(), buffer, buffer + got);
    }
    a.join();
    b.join();
    const Bytes probe{0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD};
    const Bytes ack = devlink::buildFrame(devlink::Generation::Second, 0x61, Bytes{0x00}, true);
    std::size_t probes = 0;
    for (std::size_t at = 0; at < received.size();) {
        const Bytes& expected = received[at + 1] == 0x03 ? probe : ack;
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), received.begin() + at));
        probes += &expected == &probe ? 1 : 0;
        at += expected.size();
    }
    EXPECT_EQ(probes, static_cast<std::size_t>(kPerThread));
}

TEST(BluetoothHandleFrameTest, TheProcessWideInstanceIsOneObject) {
    BluetoothHandle* fromThread = nullptr;
    std::thread other([&] { fromThread = BluetoothHandle::GetInstance(); });
    BluetoothHandle* here = BluetoothHandle::GetInstance();
    other.join();
    EXPECT_NE(here, nullptr);
    EXPECT_EQ(here, fromThread);
}
