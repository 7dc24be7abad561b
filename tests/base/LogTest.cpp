#include "base/Log.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Paths.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Polls until the file holds `text` or ten seconds have passed.
bool fileEventuallyHolds(const fs::path& path, const std::string& text) {
    return testing_support::eventually(
        [&] { return readAll(path).find(text) != std::string::npos; });
}

}  // namespace

TEST(LogTest, LineCarriesTimeThreadLevelMethodLineAndMessage) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "unit"});
    _Log(LOG_INFO, "BluetoothHandle::sendSPPMessage", 123, "MSGID = %02x ", 0x29);
    _Log(LOG_WARNING, "SMainView::OnDeviceConnected", 7, "%s", "done");
    base::log::flush();

    const auto lines = readLines(folder / "unit.log");
    ASSERT_EQ(lines.size(), 2u);
    const std::regex form(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] I BluetoothHandle::sendSPPMessage:123 MSGID = 29 )");
    EXPECT_TRUE(std::regex_match(lines[0], form)) << lines[0];
    EXPECT_NE(lines[1].find(" W SMainView::OnDeviceConnected:7 done"), std::string::npos);
}

TEST(LogTest, LongMessagesAreWrittenWhole) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "long"});
    const std::string text(5000, 'x');
    _Log(LOG_INFO, "A::b", 1, "[%s]", text.c_str());
    base::log::flush();
    const auto lines = readLines(folder / "long.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[" + text + "]"), std::string::npos);
}

// Fixed texts and finished messages skip the formatter; their lines must look exactly like
// formatted ones, long ones included, and a format with "%%" is still formatted.
TEST(LogTest, FixedTextsAndFinishedMessagesLookLikeFormattedLines) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "fixed"});
    _Log(LOG_INFO, "BluetoothHandle::parseMessageData", 5, "isGotRecvFromDevice = TRUE");
    _Log(LOG_INFO, "A::b", 6, "%s", "isGotRecvFromDevice = TRUE");
    _LogText(LOG_NOTICE, "A::c", 7, "[A::c]: RECV: fd 8d ");
    const std::string longText(3000, 'y');
    _LogText(LOG_INFO, "A::d", 8, longText);
    _Log(LOG_INFO, "A::e", 9, "100%% done");
    _LogText(LOG_INFO, "A::f", 10, "");
    base::log::setLevel(LOG_WARNING);
    _LogText(LOG_INFO, "A::g", 11, "filtered");
    base::log::setLevel(LOG_DEBUG);
    base::log::flush();

    const auto lines = readLines(folder / "fixed.log");
    ASSERT_EQ(lines.size(), 6u);
    const std::regex form(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] I BluetoothHandle::parseMessageData:5 isGotRecvFromDevice = TRUE)");
    EXPECT_TRUE(std::regex_match(lines[0], form)) << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].find(" isGot")), lines[1].substr(lines[1].find(" isGot")));
    EXPECT_NE(lines[2].find(" N A::c:7 [A::c]: RECV: fd 8d "), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find(" I A::d:8 " + longText), std::string::npos);
    EXPECT_EQ(lines[3].substr(lines[3].size() - longText.size()), longText);
    EXPECT_NE(lines[4].find(" A::e:9 100% done"), std::string::npos) << lines[4];
    EXPECT_TRUE(lines[5].ends_with(" I A::f:10 ")) << lines[5];
}

TEST(LogTest, FileRotatesAndKeepsTheConfiguredNumberOfOldFiles) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "rot", .maxFileBytes = 1000, .keptFiles = 2});
    for (int i = 0; i < 100; ++i) {
        _Log(LOG_INFO, "A::b", i, "line %03d of the rotation test", i);
    }
    base::log::flush();
    EXPECT_TRUE(fs::exists(folder / "rot.log"));
    EXPECT_TRUE(fs::exists(folder / "rot.1.log"));
    EXPECT_TRUE(fs::exists(folder / "rot.2.log"));
    EXPECT_FALSE(fs::exists(folder / "rot.3.log"));
    for (const char* name : {"rot.log", "rot.1.log", "rot.2.log"}) {
        EXPECT_LE(fs::file_size(folder / name), 1000u) << name;
    }
    const auto newest = readLines(folder / "rot.log");
    ASSERT_FALSE(newest.empty());
    EXPECT_NE(newest.back().find("line 099"), std::string::npos);
}

TEST(LogTest, ConcurrentWritersNeverInterleaveWithinALine) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "threads"});
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                _Log(LOG_INFO, "T::run", t, "writer %d message %d end", t, i);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    base::log::flush();
    const auto lines = readLines(folder / "threads.log");
    ASSERT_EQ(lines.size(), 800u);
    const std::regex tail(R"(.* T::run:\d writer \d message \d+ end)");
    for (const auto& line : lines) {
        ASSERT_TRUE(std::regex_match(line, tail)) << line;
    }
}

TEST(LogTest, UnwritableFolderIsHarmless) {
    base::log::configure({.folder = "/proc/no-such-folder", .name = "x"});
    _Log(LOG_INFO, "A::b", 1, "goes nowhere");
    EXPECT_TRUE(base::log::currentFile().empty());
}

TEST(LogTest, AQuietLineReachesTheFileWithoutAnExplicitFlush) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "timed"});
    _Log(LOG_INFO, "A::b", 1, "%s", "written by the background writer");
    EXPECT_TRUE(fileEventuallyHolds(folder / "timed.log", "written by the background writer"));
}

TEST(LogTest, WarningsAreWrittenAtOnce) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "warn"});
    _Log(LOG_INFO, "A::b", 1, "before");
    _Log(LOG_WARNING, "A::b", 2, "the warning");
    const std::string text = readAll(folder / "warn.log");
    EXPECT_NE(text.find("before"), std::string::npos);
    EXPECT_NE(text.find("the warning"), std::string::npos);
}

TEST(LogTest, LevelFiltersLowerLinesAndParsesNamesAndDigits) {
    const fs::path folder = testing_support::makeTempFolder("log");
    base::log::configure({.folder = folder, .name = "level"});
    const int before = base::log::level();
    base::log::setLevel(LOG_WARNING);
    _Log(LOG_INFO, "A::b", 1, "filtered info");
    _Log(LOG_ERROR, "A::b", 2, "kept error");
    base::log::setLevel(LOG_OFF);
    _Log(LOG_ERROR, "A::b", 3, "filtered error");
    base::log::setLevel(before);
    base::log::flush();
    const std::string text = readAll(folder / "level.log");
    EXPECT_EQ(text.find("filtered"), std::string::npos) << text;
    EXPECT_NE(text.find("kept error"), std::string::npos);

    EXPECT_EQ(base::log::parseLevel("WARNING"), LOG_WARNING);
    EXPECT_EQ(base::log::parseLevel("off"), LOG_OFF);
    EXPECT_EQ(base::log::parseLevel("1"), LOG_INFO);
    EXPECT_EQ(base::log::parseLevel("6"), std::nullopt);
    EXPECT_EQ(base::log::parseLevel("warn"), std::nullopt);
    EXPECT_EQ(base::log::parseLevel(""), std::nullopt);
}

TEST(LogTest, ASymbolicLinkInPlaceOfTheFileIsNotFollowed) {
    const fs::path folder = testing_support::makeTempFolder("log");
    const fs::path victim = testing_support::makeTempFolder("victim") / "precious";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, folder / "link.log");
    base::log::configure({.folder = folder, .name = "link"});
    _Log(LOG_ERROR, "A::b", 1, "must not reach the victim");
    base::log::flush();
    EXPECT_EQ(readAll(victim), "keep me");
    EXPECT_TRUE(base::log::currentFile().empty());
}

// The dying process is a fresh program (see LogCrashHelper.cpp), never a fork of this one.
TEST(LogTest, AFatalSignalWritesTheBufferedTail) {
    const fs::path folder = testing_support::makeTempFolder("log");
    const fs::path helper = platform::paths::executableFolder() / "log_crash_helper";
    const testing_support::ProgramRun run =
        testing_support::runProgram({helper.string(), folder.string()});
    EXPECT_EQ(run.exitCode, 128 + SIGABRT) << run.err;
    EXPECT_NE(readAll(folder / "crash.log").find("the last words"), std::string::npos);
}

TEST(LogTest, SigtermLeavesALastLineSayingHowTheProgramEnded) {
    const fs::path folder = testing_support::makeTempFolder("log");
    const fs::path helper = platform::paths::executableFolder() / "log_crash_helper";
    const testing_support::ProgramRun run =
        testing_support::runProgram({helper.string(), folder.string(), "term"});
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.err;
    const std::string text = readAll(folder / "crash.log");
    const std::size_t words = text.find("the last words");
    const std::size_t last = text.find("the program ends on signal 15 (SIGTERM)\n");
    ASSERT_NE(words, std::string::npos) << text;
    ASSERT_NE(last, std::string::npos) << text;
    EXPECT_LT(words, last);
    // The last line looks like every other: date and time to the millisecond, then the thread.
    const std::string line = text.substr(text.rfind('\n', last) + 1);
    EXPECT_TRUE(std::regex_search(
        line, std::regex(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \[\d+\] W )")))
        << line;
    // The same day as the line the program logged normally.
    EXPECT_EQ(line.substr(0, 10), text.substr(0, 10));
}
