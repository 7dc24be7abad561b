#include "link/FrameTranscript.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FrameTranscriptTest, ASessionReplacesTheLastAndStaysBoundedWithItsNewestFrames) {
    const fs::path file = testing_support::makeTempFolder("frames") / "p.frames.txt";
    constexpr std::size_t kPart = 4096;
    devlink::FrameTranscript transcript(file, kPart);
    const std::vector<uint8_t> frame = {0xFD, 0x01, 0x30, 0x60, 0x00, 0xAB};

    transcript.beginSession("Auralis (77A0)", 0x705AB60077A0);
    transcript.recordSent(frame.data(), frame.size());
    transcript.recordReceived(frame.data(), 2);
    std::string text = readFile(file);
    EXPECT_NE(text.find("# link session with \"Auralis (77A0)\" 70:5A:B6:00:77:A0"),
              std::string::npos);
    EXPECT_NE(text.find(" SENT 6: fd 01 30 60 00 ab\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" RECV 2: fd 01\n"), std::string::npos) << text;

    // A long session: never more than two parts on disk, the newest frame in the current one.
    std::vector<uint8_t> big(300, 0x11);
    for (int i = 0; i < 200; ++i) {
        big[0] = static_cast<uint8_t>(i);
        transcript.recordSent(big.data(), big.size());
    }
    EXPECT_LE(fs::file_size(file), kPart);
    ASSERT_TRUE(fs::exists(transcript.olderPart()));
    EXPECT_LE(fs::file_size(transcript.olderPart()), kPart);
    EXPECT_NE(readFile(file).find("SENT 300: c7 11"), std::string::npos) << "frame 199";

    // The next session starts afresh: nothing of the last one stays.
    transcript.beginSession("Auralis+ (4F2A)", 0x705AB6014F2A);
    EXPECT_FALSE(fs::exists(transcript.olderPart()));
    text = readFile(file);
    EXPECT_EQ(text.find(" SENT "), std::string::npos);
    EXPECT_NE(text.find("Auralis+ (4F2A)"), std::string::npos);
}

TEST(FrameTranscriptTest, WithoutAFolderNothingIsWritten) {
    devlink::FrameTranscript transcript({}, 4096);
    const uint8_t byte = 0xFD;
    transcript.beginSession("Auralis (77A0)", 1);
    transcript.recordSent(&byte, 1);
    EXPECT_TRUE(transcript.file().empty());
}

}  // namespace
