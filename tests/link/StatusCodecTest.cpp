#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "link/StatusCodec.h"

namespace {

using devlink::decodeExtendedStatusUpdate;
using devlink::decodeStatusUpdate;
using devlink::Generation;
using Bytes = std::vector<uint8_t>;

DeviceStatus knownBefore() {
    DeviceStatus status;
    status.messageRevision = 9;
    status.batteryCase = 77;
    status.DeviceColorL = 5;
    status.DeviceColorR = 6;
    status.unused[3] = 42;
    return status;
}

TEST(StatusCodecTest, StatusReportOverwritesOnlyItsOwnFields) {
    const Bytes payload{1, 80, 70, 1, 2, 3, 60, 0xEE};  // one byte more than the layout
    const auto status = decodeStatusUpdate(payload, knownBefore());
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->earType, 1);
    EXPECT_EQ(status->batteryLeft, 80);
    EXPECT_EQ(status->batteryRight, 70);
    EXPECT_EQ(status->twsStatus, 1);
    EXPECT_EQ(status->mainConnection, 2);
    EXPECT_EQ(status->wearingDetection, 3);
    EXPECT_EQ(status->batteryCase, 60);
    // Fields the report does not carry keep what was known.
    EXPECT_EQ(status->messageRevision, 9);
    EXPECT_EQ(status->DeviceColorL, 5);
    EXPECT_EQ(status->unused[3], 42);
}

TEST(StatusCodecTest, ExtendedReportReadsColoursLittleEndianOnlyInTheSecondGeneration) {
    Bytes payload(19, 0);
    payload[0] = 2;      // revision
    payload[2] = 55;     // left
    payload[3] = 66;     // right
    payload[7] = 88;     // case
    payload[15] = 0x34;  // left colour, low byte first
    payload[16] = 0x12;
    payload[17] = 0xFF;
    payload[18] = 0x00;
    const auto second = decodeExtendedStatusUpdate(payload, Generation::Second, knownBefore());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->messageRevision, 2);
    EXPECT_EQ(second->batteryLeft, 55);
    EXPECT_EQ(second->batteryRight, 66);
    EXPECT_EQ(second->batteryCase, 88);
    EXPECT_EQ(second->DeviceColorL, 0x1234);
    EXPECT_EQ(second->DeviceColorR, 0x00FF);

    // The first generation's 7-byte layout has no case battery and no colours: they read as 0.
    const auto first = decodeExtendedStatusUpdate(Bytes(payload.begin(), payload.begin() + 7),
                                                  Generation::First, knownBefore());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->batteryLeft, 55);
    EXPECT_EQ(first->batteryCase, 0);
    EXPECT_EQ(first->DeviceColorL, 0);
    EXPECT_EQ(first->DeviceColorR, 0);
}

TEST(StatusCodecTest, PayloadsShorterThanTheirLayoutYieldNothing) {
    EXPECT_FALSE(decodeStatusUpdate(Bytes(6, 1), knownBefore()).has_value());
    EXPECT_FALSE(decodeStatusUpdate({}, knownBefore()).has_value());
    EXPECT_FALSE(
        decodeExtendedStatusUpdate(Bytes(18, 1), Generation::Second, knownBefore()).has_value());
    EXPECT_FALSE(
        decodeExtendedStatusUpdate(Bytes(6, 1), Generation::First, knownBefore()).has_value());
    // Seven bytes are a whole first-generation report but not a second-generation one.
    EXPECT_TRUE(
        decodeExtendedStatusUpdate(Bytes(7, 1), Generation::First, knownBefore()).has_value());
    EXPECT_FALSE(
        decodeExtendedStatusUpdate(Bytes(7, 1), Generation::Second, knownBefore()).has_value());
}

TEST(StatusCodecTest, SerialNumbersAreFixedWidthFieldsByGeneration) {
    // Second generation: 11 bytes each; NUL bytes are kept as they are.
    Bytes second(22, 'A');
    second[3] = 0;
    std::fill(second.begin() + 11, second.end(), 'B');
    const auto both = devlink::decodeSerialNumbers(second, Generation::Second);
    ASSERT_TRUE(both.has_value());
    EXPECT_EQ(both->left, std::string("AAA\0AAAAAAA", 11));
    EXPECT_EQ(both->right, std::string(11, 'B'));
    EXPECT_FALSE(devlink::decodeSerialNumbers(Bytes(21, 'A'), Generation::Second).has_value());

    // First generation: 12 bytes each; extra bytes are ignored.
    Bytes first(25, 'L');
    std::fill(first.begin() + 12, first.end(), 'R');
    const auto firstPair = devlink::decodeSerialNumbers(first, Generation::First);
    ASSERT_TRUE(firstPair.has_value());
    EXPECT_EQ(firstPair->left, std::string(12, 'L'));
    EXPECT_EQ(firstPair->right, std::string(12, 'R'));
    EXPECT_FALSE(devlink::decodeSerialNumbers(Bytes(23, 'A'), Generation::First).has_value());
}

}  // namespace
