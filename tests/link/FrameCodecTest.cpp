#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/HexDump.h"

using devlink::buildFrame;
using devlink::FrameOptions;
using devlink::Generation;
using Bytes = std::vector<uint8_t>;

TEST(FrameCodecTest, Crc16HasTheXmodemCheckValue) {
    const std::string digits = "123456789";
    const auto* bytes = reinterpret_cast<const uint8_t*>(digits.data());
    EXPECT_EQ(devlink::crc16(bytes, digits.size()), 0x31C3);
    EXPECT_EQ(devlink::crc16(bytes, 0), 0);
    EXPECT_EQ(devlink::crc16Table()[1], 0x1021);
    // Continuing over a second piece gives the CRC of the whole.
    EXPECT_EQ(devlink::crc16(bytes + 4, 5, devlink::crc16(bytes, 4)), 0x31C3);
}

TEST(FrameCodecTest, Crc16EqualsTheBitwiseDefinitionAtEveryLength) {
    const auto bitwise = [](const uint8_t* bytes, std::size_t count) {
        uint16_t crc = 0;
        for (std::size_t i = 0; i < count; ++i) {
            crc ^= static_cast<uint16_t>(bytes[i] << 8);
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 0x8000) != 0 ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                          : static_cast<uint16_t>(crc << 1);
            }
        }
        return crc;
    };
    Bytes bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 131 + 17);
    }
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        ASSERT_EQ(devlink::crc16(bytes.data(), length), bitwise(bytes.data(), length)) << length;
    }
    for (unsigned i = 0; i < 256; ++i) {
        const uint8_t byte = static_cast<uint8_t>(i);
        ASSERT_EQ(devlink::crc16Table()[i], bitwise(&byte, 1));
    }
}

TEST(FrameCodecTest, GenerationFollowsTheNameBeforeTheBlankAndBracket) {
    EXPECT_TRUE(devlink::isSecondGenerationName("Auralis+ (4F2A)"));
    EXPECT_TRUE(devlink::isSecondGenerationName("Auralis2 (0C11)"));
    EXPECT_FALSE(devlink::isSecondGenerationName("Auralis (77A0)"));
    EXPECT_FALSE(devlink::isSecondGenerationName("Auralis+"));
    EXPECT_FALSE(devlink::isSecondGenerationName("Auralis+(4F2A)"));
    EXPECT_FALSE(devlink::isSecondGenerationName("(Auralis+ (4F2A)"));
    EXPECT_FALSE(devlink::isSecondGenerationName(""));
    // Only the character right before the bracket is cut, whatever it is.
    EXPECT_TRUE(devlink::isSecondGenerationName("Auralis2x(1)"));
    EXPECT_FALSE(devlink::isSecondGenerationName("Auralis2  (1)"));
}

TEST(FrameCodecTest, WorkedFramesAreProducedByteForByte) {
    EXPECT_EQ(buildFrame(Generation::Second, 0x29, {}, false),
              (Bytes{0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD}));
    EXPECT_EQ(buildFrame(Generation::First, 0x29, {}, false),
              (Bytes{0xFE, 0x00, 0x03, 0x29, 0x4B, 0xB5, 0xEE}));
    const Bytes statusId{0x00};
    EXPECT_EQ(buildFrame(Generation::Second, 0x60, statusId, true),
              (Bytes{0xFD, 0x04, 0x10, 0x60, 0x00, 0x2A, 0x0B, 0xDD}));
    const Bytes ackOfStatus{0x60, 0x00};
    EXPECT_EQ(buildFrame(Generation::First, 0x51, ackOfStatus, true),
              (Bytes{0xFE, 0x01, 0x05, 0x51, 0x60, 0x00, 0xD4, 0x62, 0xEE}));
    // The reset request: a first-generation header between second-generation markers.
    EXPECT_EQ(buildFrame(Generation::Second, 0x50, {}, FrameOptions{.header = Generation::First}),
              (Bytes{0xFD, 0x00, 0x03, 0x50, 0xF5, 0x5A, 0xDD}));
}

TEST(FrameCodecTest, HeadersCarryLengthAndFlagsOfBothLayouts) {
    const Bytes payload(600, 0xAB);
    const auto second =
        buildFrame(Generation::Second, 0xBD, payload,
                   FrameOptions{.header = Generation::Second, .response = true, .dataFlag = true});
    ASSERT_EQ(second.size(), 600u + 7);
    EXPECT_EQ(second[1], (603 & 0xFF));
    EXPECT_EQ(second[2], (603 >> 8) | 0x30);
    EXPECT_TRUE(devlink::checksumMatches(Generation::Second, second.data(), second.size()));

    const auto longForm = buildFrame(Generation::First, 0xB2, payload,
                                     FrameOptions{.dataFlag = true, .longForm = true});
    ASSERT_EQ(longForm.size(), 600u + 8);
    EXPECT_EQ((Bytes{longForm.begin(), longForm.begin() + 5}),
              (Bytes{0xFE, 0x12, 603 & 0xFF, 603 >> 8, 0xB2}));
    // The long form's checksum starts at the id (offset 4).
    const uint16_t crc = devlink::crc16(longForm.data() + 4, longForm.size() - 7);
    EXPECT_EQ(longForm[longForm.size() - 3], crc & 0xFF);
    EXPECT_EQ(longForm[longForm.size() - 2], crc >> 8);
    EXPECT_EQ(longForm.back(), 0xEE);
}

TEST(FrameCodecTest, BodiesThatDoNotFitTheHeaderAreRefused) {
    const uint8_t body[3] = {0x29, 0, 0};
    EXPECT_TRUE(devlink::wrapBody(Generation::First, {}, body, 2).empty());
    EXPECT_EQ(devlink::wrapBody(Generation::First, {}, body, 3).size(), 7u);
    const Bytes big(256, 0);
    EXPECT_TRUE(buildFrame(Generation::First, 0x01, Bytes(253, 0), false).empty());
    EXPECT_EQ(buildFrame(Generation::First, 0x01, Bytes(252, 0), false).size(), 259u);
    EXPECT_TRUE(buildFrame(Generation::Second, 0x01, Bytes(0x0FFF - 2, 0), false).empty());
    // A frame too short to hold a checksum is left alone.
    uint8_t tiny[4] = {0xFD, 0x00, 0x00, 0xDD};
    EXPECT_EQ(devlink::sealFrame(Generation::Second, tiny, sizeof(tiny)), 0);
    EXPECT_EQ((Bytes{tiny, tiny + 4}), (Bytes{0xFD, 0x00, 0x00, 0xDD}));
    EXPECT_FALSE(devlink::checksumMatches(Generation::Second, tiny, sizeof(tiny)));
}

TEST(FrameCodecTest, HexDumpShortensLongFrames) {
    const Bytes frame{0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD};
    EXPECT_EQ(devlink::hexDump(frame.data(), frame.size()), "fd 03 00 29 4b b5 dd ");
    Bytes longFrame(100);
    for (std::size_t i = 0; i < longFrame.size(); ++i) {
        longFrame[i] = static_cast<uint8_t>(i);
    }
    EXPECT_EQ(devlink::hexDump(longFrame.data(), 99).size(), 99u * 3);
    EXPECT_EQ(devlink::hexDump(longFrame.data(), longFrame.size()),
              "00 01 02 03 04 05 06 07 08 09 ... 5b 5c 5d 5e 5f 60 61 62 63 ");
}
