#include <gtest/gtest.h>

#include "link/FrameCodec.h"
#include "tests/link/LinkTestSupport.h"

using devlink::buildFrame;
using devlink::Generation;
using link_test::Bytes;
using link_test::join;
using link_test::LinkUnderTest;
using link_test::LogCapture;

namespace {

const Bytes kSerialRequest2{0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD};
const Bytes kStatusAck2{0xFD, 0x04, 0x10, 0x60, 0x00, 0x2A, 0x0B, 0xDD};

std::vector<SPPMessage> parse(BluetoothHandle& handle, const Bytes& chunk) {
    std::vector<SPPMessage> messages;
    handle.parseMessageData(chunk.data(), chunk.size(), messages);
    return messages;
}

}  // namespace

TEST(BluetoothHandleReceiveTest, AcceptedFramesBecomeMessagesInStreamOrder) {
    LinkUnderTest link("Auralis+ (4F2A)");
    const auto messages = parse(link.handle, join({{0x00}, kSerialRequest2, kStatusAck2}));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].frame, kSerialRequest2);
    EXPECT_EQ(messages[0].msgId, 0x29);
    EXPECT_EQ(messages[0].response, 0);
    EXPECT_EQ(messages[0].bodyLength, 3);
    EXPECT_EQ(messages[0].frameLength, 7);
    EXPECT_EQ(messages[1].msgId, 0x60);
    EXPECT_EQ(messages[1].response, 1);
    EXPECT_EQ(messages[1].bodyLength, 4);
}

TEST(BluetoothHandleReceiveTest, EveryChunkMarksTheSessionAliveWhateverItHolds) {
    LogCapture log;
    LinkUnderTest link;
    auto& flags = link.handle.flags();
    EXPECT_FALSE(flags.gotMessage.load());
    EXPECT_TRUE(parse(link.handle, Bytes{0x01, 0x02}).empty());
    EXPECT_TRUE(flags.gotMessage.load());
    EXPECT_TRUE(flags.aliveResponse.load());
    EXPECT_TRUE(link.handle.receiveEvent().isSignalled());
    EXPECT_TRUE(link.handle.aliveEvent().isSignalled());
    EXPECT_TRUE(log.contains("isGotRecvFromDevice = TRUE"));
}

TEST(BluetoothHandleReceiveTest, BadFramesAreLoggedAndSkippedByTheRules) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    Bytes swapped = kSerialRequest2;
    std::swap(swapped[4], swapped[5]);
    const auto afterSwap = parse(link.handle, join({swapped, kStatusAck2}));
    ASSERT_EQ(afterSwap.size(), 1u);
    EXPECT_EQ(afterSwap[0].msgId, 0x60);
    EXPECT_TRUE(log.contains("checkMessageCRC ==> BAD"));
    EXPECT_TRUE(log.contains("checkMessageCRC ==> GOOD"));
    EXPECT_TRUE(log.contains("Calc CRC1 -> 4b"));
    EXPECT_TRUE(log.contains("Calc CRC2 -> b5"));
    EXPECT_FALSE(log.contains("Incorrect Message"));

    // A frame cut at the chunk's end drops it and everything after it.
    const Bytes cut = join({kSerialRequest2, Bytes(kStatusAck2.begin(), kStatusAck2.end() - 1)});
    EXPECT_EQ(parse(link.handle, cut).size(), 1u);
    EXPECT_TRUE(log.contains("Incorrect Message"));

    // A body shorter than id and checksum is never a message.
    LinkUnderTest other("Auralis+ (4F2A)");
    EXPECT_TRUE(parse(other.handle, Bytes{0xFD, 0x00, 0x00, 0xDD, 0x00}).empty());
}

TEST(BluetoothHandleReceiveTest, StartMarkerInTheLastByteIsNotExamined) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    EXPECT_EQ(parse(link.handle, join({kSerialRequest2, {0xFD}})).size(), 1u);
    EXPECT_FALSE(log.contains("Incorrect Message"));
}

TEST(BluetoothHandleReceiveTest, WithoutADeviceTheFirstGenerationLayoutApplies) {
    LogCapture log;
    LinkUnderTest link("");
    EXPECT_TRUE(parse(link.handle, kSerialRequest2).empty());
    const Bytes first = buildFrame(Generation::First, 0x29, {}, true);
    const auto messages = parse(link.handle, first);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].response, 1);
    EXPECT_TRUE(log.contains("=====checkMessageCRC start====="));
}

TEST(BluetoothHandleReceiveTest, AFrameSplitAcrossTwoReadsIsDispatchedOnce) {
    LinkUnderTest link("Auralis+ (4F2A)");
    const Bytes status = buildFrame(Generation::Second, 0x60, Bytes{1, 50, 60, 1, 1, 3, 70}, false);
    const Bytes later = buildFrame(Generation::Second, 0x60, Bytes{1, 49, 60, 1, 1, 3, 70}, true);
    const Bytes stream = join({status, later});
    link.receive(Bytes(stream.begin(), stream.begin() + 6));
    EXPECT_TRUE(link.delegate.statuses.empty());
    link.receive(Bytes(stream.begin() + 6, stream.end()));
    ASSERT_EQ(link.delegate.statuses.size(), 2u);
    EXPECT_EQ(link.delegate.statuses[0].batteryLeft, 50);
    EXPECT_EQ(link.delegate.statuses[0].batteryCase, 70);
    EXPECT_EQ(link.delegate.statuses[1].batteryLeft, 49);
}

TEST(BluetoothHandleReceiveTest, ANewConnectionDropsBytesKeptFromTheOldOne) {
    LinkUnderTest link("Auralis+ (4F2A)");
    const Bytes status = buildFrame(Generation::Second, 0x60, Bytes{1, 50, 60, 1, 1, 3, 70}, false);
    link.receive(Bytes(status.begin(), status.begin() + 6));
    link.handle.setConnection(link.ours);
    link.receive(Bytes(status.begin() + 6, status.end()));
    EXPECT_TRUE(link.delegate.statuses.empty());
}

// One link runs many streams (fuzzing): after a reset nothing of the previous stream is left,
// neither the device state nor the start of a split frame, and the link receives as before.
TEST(BluetoothHandleReceiveTest, ResetForgetsEverythingReceived) {
    LinkUnderTest link("Auralis+ (4F2A)");
    const Bytes status = buildFrame(Generation::Second, 0x60, Bytes{1, 50, 60, 1, 1, 3, 70}, false);
    link.receive(status);
    ASSERT_EQ(link.handle.deviceStatus().batteryLeft, 50);
    link.receive(Bytes(status.begin(), status.begin() + 6));
    link.handle.resetReceivedState();
    EXPECT_EQ(link.handle.deviceStatus(), DeviceStatus{});
    link.receive(Bytes(status.begin() + 6, status.end()));
    EXPECT_EQ(link.delegate.statuses.size(), 1u);
    link.receive(status);
    EXPECT_EQ(link.delegate.statuses.size(), 2u);
    EXPECT_EQ(link.handle.deviceStatus().batteryCase, 70);
}

TEST(BluetoothHandleReceiveTest, ListenerLogsEachChunkAndTheMessageCount) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    link.receive(join({kSerialRequest2, kStatusAck2}));
    const std::string text = log.text();
    EXPECT_NE(text.find("=============END================="), std::string::npos);
    EXPECT_NE(text.find("=========RECV NEW MESSAGE========"), std::string::npos);
    EXPECT_NE(text.find("RECV: fd 03 00 29 4b b5 dd fd 04 10 60 00 2a 0b dd "), std::string::npos);
    EXPECT_NE(text.find("[BluetoothHandle::parseMessageData]: RECV: fd 04 10 60 00 2a 0b dd "),
              std::string::npos);
    EXPECT_NE(text.find("Message recv count: 2"), std::string::npos);
}
