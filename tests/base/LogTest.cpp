#include "base/Log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace

TEST(LogTest, LineCarriesTimeThreadLevelMethodLineAndMessage) {
    const fs::path folder = testing_support::makeTempFolder("log");
    services::log::configure({.folder = folder, .name = "unit"});
    _Log(LOG_INFO, "BluetoothHandle::sendSPPMessage", 123, "MSGID = %02x ", 0x29);
    _Log(LOG_WARNING, "SMainView::OnDeviceConnected", 7, "%s", "done");
    services::log::flush();

    const auto lines = readLines(folder / "unit.log");
    ASSERT_EQ(lines.size(), 2u);
    const std::regex form(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] I BluetoothHandle::sendSPPMessage:123 MSGID = 29 )");
    EXPECT_TRUE(std::regex_match(lines[0], form)) << lines[0];
    EXPECT_NE(lines[1].find(" W SMainView::OnDeviceConnected:7 done"), std::string::npos);
}

TEST(LogTest, LongMessagesAreWrittenWhole) {
    const fs::path folder = testing_support::makeTempFolder("log");
    services::log::configure({.folder = folder, .name = "long"});
    const std::string text(5000, 'x');
    _Log(LOG_INFO, "A::b", 1, "[%s]", text.c_str());
    services::log::flush();
    const auto lines = readLines(folder / "long.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[" + text + "]"), std::string::npos);
}

TEST(LogTest, FileRotatesAndKeepsTheConfiguredNumberOfOldFiles) {
    const fs::path folder = testing_support::makeTempFolder("log");
    services::log::configure(
        {.folder = folder, .name = "rot", .maxFileBytes = 1000, .keptFiles = 2});
    for (int i = 0; i < 100; ++i) {
        _Log(LOG_INFO, "A::b", i, "line %03d of the rotation test", i);
    }
    services::log::flush();
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
    services::log::configure({.folder = folder, .name = "threads"});
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
    services::log::flush();
    const auto lines = readLines(folder / "threads.log");
    ASSERT_EQ(lines.size(), 800u);
    const std::regex tail(R"(.* T::run:\d writer \d message \d+ end)");
    for (const auto& line : lines) {
        ASSERT_TRUE(std::regex_match(line, tail)) << line;
    }
}

TEST(LogTest, UnwritableFolderIsHarmless) {
    services::log::configure({.folder = "/proc/no-such-folder", .name = "x"});
    _Log(LOG_INFO, "A::b", 1, "goes nowhere");
    EXPECT_TRUE(services::log::currentFile().empty());
}
