#include "link/FrameDecoder.h"

#include <gtest/gtest.h>

#include <vector>

using devlink::buildFrame;
using devlink::FrameDecoder;
using devlink::FrameOptions;
using devlink::Generation;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace

TEST(FrameDecoderTest, DecodesEveryFrameKindThePeerCanSend) {
    const Bytes payload{1, 2, 3, 4, 5};
    struct Case {
        Generation markers;
        FrameOptions options;
        std::size_t payloadSize;
    };
    const Case cases[] = {
        {Generation::First, {.header = Generation::First}, 5},
        {Generation::First, {.header = Generation::First, .response = true}, 5},
        {Generation::First, {.header = Generation::First, .dataFlag = true}, 5},
        {Generation::First, {.header = Generation::First, .dataFlag = true, .longForm = true}, 5},
        {Generation::First, {.header = Generation::First, .longForm = true}, 400},
        {Generation::Second, {.header = Generation::Second}, 5},
        {Generation::Second, {.header = Generation::Second, .response = true}, 5},
        {Generation::Second,
         {.header = Generation::Second, .response = true, .dataFlag = true},
         650},
        {Generation::Second, {.header = Generation::First}, 0},
    };
    for (const Case& c : cases) {
        const Bytes data(c.payloadSize, 0x5A);
        const Bytes frame = buildFrame(c.markers, 0xB2, data, c.options);
        FrameDecoder decoder(c.markers);
        const auto frames = decoder.feed(frame);
        ASSERT_EQ(frames.size(), 1u) << c.payloadSize;
        EXPECT_EQ(frames[0].header, c.options.header);
        EXPECT_EQ(frames[0].response, c.options.response);
        EXPECT_EQ(frames[0].dataFlag, c.options.dataFlag);
        EXPECT_EQ(frames[0].longForm, c.options.longForm);
        EXPECT_EQ(frames[0].messageId, 0xB2);
        EXPECT_EQ(frames[0].payload, data);
        EXPECT_EQ(frames[0].frame, frame);
        EXPECT_TRUE(frames[0].checksumOk);
        EXPECT_EQ(decoder.pendingBytes(), 0u);
    }
}

TEST(FrameDecoderTest, JoinsFramesFedOneByteAtATimeAndSkipsGarbage) {
    const Bytes reset = buildFrame(Generation::Second, 0x50, {}, {.header = Generation::First});
    const Bytes status = buildFrame(Generation::Second, 0x60, Bytes{1, 2, 3}, true);
    const Bytes stream = join({{0x00, 0xDD, 0x17}, reset, {0x42}, status});
    FrameDecoder decoder(Generation::Second);
    std::vector<devlink::DecodedFrame> frames;
    for (uint8_t byte : stream) {
        for (auto& frame : decoder.feed(Bytes{byte})) {
            frames.push_back(std::move(frame));
        }
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].messageId, 0x50);
    EXPECT_EQ(frames[0].header, Generation::First);
    EXPECT_EQ(frames[1].messageId, 0x60);
    EXPECT_EQ(frames[1].payload, (Bytes{1, 2, 3}));
    EXPECT_EQ(decoder.skippedBytes(), 4u);
}

TEST(FrameDecoderTest, BadChecksumIsReportedAndAWrongEndMarkerResynchronises) {
    Bytes bad = buildFrame(Generation::First, 0x29, {}, false);
    std::swap(bad[4], bad[5]);
    Bytes wrongEnd = buildFrame(Generation::First, 0x60, Bytes{9, 9}, false);
    wrongEnd.back() = 0x00;
    const Bytes good = buildFrame(Generation::First, 0x61, Bytes{7}, false);
    FrameDecoder decoder(Generation::First);
    const auto frames = decoder.feed(join({bad, wrongEnd, good}));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[0].checksumOk);
    EXPECT_EQ(frames[0].messageId, 0x29);
    EXPECT_TRUE(frames[1].checksumOk);
    EXPECT_EQ(frames[1].messageId, 0x61);
}

TEST(FrameDecoderTest, WaitsForTheRestOfAFrame) {
    const Bytes frame = buildFrame(Generation::Second, 0xBD, Bytes(650, 1),
                                   {.header = Generation::Second, .dataFlag = true});
    FrameDecoder decoder(Generation::Second);
    EXPECT_TRUE(decoder.feed({frame.data(), 300}).empty());
    EXPECT_EQ(decoder.pendingBytes(), 300u);
    const auto frames = decoder.feed({frame.data() + 300, frame.size() - 300});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].payload.size(), 650u);
    decoder.feed(Bytes{0xFD, 0x40});
    decoder.reset();
    EXPECT_EQ(decoder.pendingBytes(), 0u);
}
