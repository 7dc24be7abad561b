#include "link/FrameSplitter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using devlink::buildFrame;
using devlink::FrameSplitter;
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

// Takes frames whose checksum is good, as the device link does.
class RecordingSink : public FrameSplitter::Sink {
public:
    explicit RecordingSink(Generation generation) : m_generation(generation) {}

    bool onFrame(const uint8_t* frame, std::size_t length) override {
        ++offered;
        if (!devlink::checksumMatches(m_generation, frame, length)) {
            return false;
        }
        accepted.emplace_back(frame, frame + length);
        return true;
    }
    void onIncorrectMessage() override { ++incorrect; }

    std::vector<Bytes> accepted;
    int offered = 0;
    int incorrect = 0;

private:
    Generation m_generation;
};

struct Splitting {
    explicit Splitting(Generation generation) : generation(generation), sink(generation) {}
    void feed(const Bytes& chunk) { splitter.split(generation, chunk.data(), chunk.size(), sink); }

    Generation generation;
    FrameSplitter splitter;
    RecordingSink sink;
};

const Bytes kSerial2 = buildFrame(Generation::Second, 0x29, {}, false);
const Bytes kStatus2 = buildFrame(Generation::Second, 0x60, Bytes{1, 2, 3, 4, 5, 6, 7}, false);
const Bytes kSerial1 = buildFrame(Generation::First, 0x29, {}, false);
const Bytes kStatus1 = buildFrame(Generation::First, 0x60, Bytes{1, 2, 3, 4, 5, 6, 7}, false);

}  // namespace

TEST(FrameSplitterTest, CompleteFramesInOneChunkFollowTheScanRules) {
    Splitting s(Generation::Second);
    // Two frames back to back, after a leading byte that is skipped.
    s.feed(join({{0x00}, kSerial2, kStatus2}));
    ASSERT_EQ(s.sink.accepted.size(), 2u);
    EXPECT_EQ(s.sink.accepted[0], kSerial2);
    EXPECT_EQ(s.sink.accepted[1], kStatus2);
    EXPECT_EQ(s.sink.incorrect, 0);

    // Swapped checksum bytes: that frame alone is rejected, scanning goes on after it.
    Bytes swapped = kSerial2;
    std::swap(swapped[4], swapped[5]);
    Splitting t(Generation::Second);
    t.feed(join({swapped, kStatus2}));
    EXPECT_EQ(t.sink.offered, 2);
    ASSERT_EQ(t.sink.accepted.size(), 1u);
    EXPECT_EQ(t.sink.accepted[0], kStatus2);

    // A wrong end marker stops the scan of the chunk; nothing of it is kept.
    Bytes wrongEnd = kSerial2;
    wrongEnd.back() = 0xEE;
    Splitting u(Generation::Second);
    u.feed(join({wrongEnd, kStatus2}));
    EXPECT_TRUE(u.sink.accepted.empty());
    EXPECT_EQ(u.sink.incorrect, 1);
    EXPECT_EQ(u.splitter.carriedBytes(), 0u);
}

TEST(FrameSplitterTest, ATruncatedFrameStopsTheScanAndIsJoinedWithTheNextChunk) {
    Splitting s(Generation::First);
    const Bytes stream = join({kSerial1, kStatus1, kSerial1});
    const std::size_t cut = kSerial1.size() + 5;
    s.feed({stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)});
    EXPECT_EQ(s.sink.accepted.size(), 1u);
    EXPECT_EQ(s.sink.incorrect, 1);
    EXPECT_EQ(s.splitter.carriedBytes(), 5u);
    s.feed({stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end()});
    ASSERT_EQ(s.sink.accepted.size(), 3u);
    EXPECT_EQ(s.sink.accepted[1], kStatus1);
    EXPECT_EQ(s.sink.accepted[2], kSerial1);
    EXPECT_EQ(s.splitter.carriedBytes(), 0u);
}

TEST(FrameSplitterTest, EverySplitPointOfAStreamYieldsEveryFrameOnce) {
    for (Generation generation : {Generation::First, Generation::Second}) {
        const Bytes a = buildFrame(generation, 0x60, Bytes{1, 2, 3, 4, 5, 6, 7}, false);
        const Bytes b = buildFrame(generation, 0x29, Bytes(22, 0x31), true);
        const Bytes stream = join({a, b, a});
        for (std::size_t cut = 1; cut < stream.size(); ++cut) {
            Splitting s(generation);
            s.feed({stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)});
            s.feed({stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end()});
            ASSERT_EQ(s.sink.accepted.size(), 3u) << "cut at " << cut;
            EXPECT_EQ(s.sink.accepted[1], b) << "cut at " << cut;
        }
    }
}

TEST(FrameSplitterTest, AFrameFedOneByteAtATimeIsJoined) {
    Splitting s(Generation::Second);
    for (uint8_t byte : kStatus2) {
        s.feed(Bytes{byte});
    }
    ASSERT_EQ(s.sink.accepted.size(), 1u);
    EXPECT_EQ(s.sink.accepted[0], kStatus2);
}

TEST(FrameSplitterTest, StartMarkerInTheLastByteIsNotExamined) {
    Splitting s(Generation::Second);
    s.feed(join({kSerial2, {0xFD}}));
    EXPECT_EQ(s.sink.accepted.size(), 1u);
    EXPECT_EQ(s.sink.incorrect, 0);
    EXPECT_EQ(s.splitter.carriedBytes(), 1u);
    // When the next read holds a complete frame of its own, that frame wins.
    s.feed(kStatus2);
    ASSERT_EQ(s.sink.accepted.size(), 2u);
    EXPECT_EQ(s.sink.accepted[1], kStatus2);
}

TEST(FrameSplitterTest, KeptBytesThatLeadNowhereNeverSwallowCompleteFrames) {
    // Kept bytes whose declared end falls inside the next chunk on a wrong byte.
    Splitting s(Generation::Second);
    s.feed(Bytes{0x11, 0xFD, 0x05, 0x00});
    EXPECT_EQ(s.splitter.carriedBytes(), 3u);
    s.feed(kSerial2);
    ASSERT_EQ(s.sink.accepted.size(), 1u);
    EXPECT_EQ(s.splitter.carriedBytes(), 0u);

    // Kept bytes that would need more than the whole next chunk.
    Splitting t(Generation::Second);
    t.feed(Bytes{0xFD, 0xF0});
    t.feed(kSerial2);
    ASSERT_EQ(t.sink.accepted.size(), 1u);
    EXPECT_EQ(t.splitter.carriedBytes(), 0u);

    // First generation: start marker and flag byte at the end of a chunk; the length byte is
    // never read from beyond it.
    Splitting u(Generation::First);
    u.feed(join({kSerial1, {0xFE, 0x00}}));
    EXPECT_EQ(u.sink.incorrect, 1);
    EXPECT_EQ(u.splitter.carriedBytes(), 2u);
    u.feed(Bytes(kSerial1.begin() + 2, kSerial1.end()));
    EXPECT_EQ(u.sink.accepted.size(), 2u);
}

TEST(FrameSplitterTest, ThreeByteBodyAndLongFormAreHandledAsTheLinkReceives) {
    Splitting s(Generation::First);
    s.feed(kSerial1);
    ASSERT_EQ(s.sink.accepted.size(), 1u);
    EXPECT_EQ(s.sink.accepted[0].size(), 7u);
    // The long form is not accepted: its one-byte length points at the wrong end byte.
    const Bytes longForm =
        buildFrame(Generation::First, 0xB2, Bytes(20, 0x00), {.dataFlag = true, .longForm = true});
    Splitting t(Generation::First);
    t.feed(join({longForm, kSerial1}));
    EXPECT_TRUE(t.sink.accepted.empty());
    EXPECT_EQ(t.sink.incorrect, 1);
}

TEST(FrameSplitterTest, KeptBytesAreBoundedAndDroppedOnAGenerationChange) {
    std::mt19937 random(7);
    Splitting s(Generation::Second);
    for (int i = 0; i < 2000; ++i) {
        Bytes chunk(1 + random() % 64);
        for (uint8_t& byte : chunk) {
            byte = random() % 4 == 0 ? 0xFD : static_cast<uint8_t>(random());
        }
        s.feed(chunk);
        ASSERT_LT(s.splitter.carriedBytes(), devlink::kMaxShortFrameLength);
    }
    s.splitter.reset();
    s.feed(Bytes{0xFD, 0x40, 0x00});
    ASSERT_GT(s.splitter.carriedBytes(), 0u);
    RecordingSink firstSink(Generation::First);
    s.splitter.split(Generation::First, kSerial1.data(), kSerial1.size(), firstSink);
    EXPECT_EQ(firstSink.accepted.size(), 1u);
    EXPECT_EQ(s.splitter.carriedBytes(), 0u);
}
