// With --json, the file commands end with a final object even when the file cannot be used:
// a missing file, a folder, a named pipe (which must not stall the command) and an output that
// cannot be written all say {"valid":false,"reason":…}, the reason also on stderr.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"

namespace fs = std::filesystem;
using ctl_test::runCtl;
using nlohmann::json;

namespace {

// The last line of stdout, parsed (discarded, not an exception, when it is not JSON).
json finalObject(const std::string& out) {
    std::istringstream lines(out);
    std::string last;
    for (std::string line; std::getline(lines, line);) {
        last = line;
    }
    return json::parse(last, nullptr, false);
}

void expectUnusable(const ctl_test::Run& run, const std::string& why) {
    EXPECT_EQ(run.exitCode, 1);
    const json object = finalObject(run.out);
    ASSERT_TRUE(object.is_object()) << "no final object: '" << run.out << "'";
    EXPECT_EQ(object.value("valid", true), false) << run.out;
    const std::string reason = object.value("reason", "");
    EXPECT_NE(reason.find(why), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
}

}  // namespace

TEST(CtlFileFinalObjectTest, PackRefusesAnOversizedInputBeforeReadingIt) {
    const fs::path folder = testing_support::makeTempFolder("ctlhugeentry");
    // A sparse file of 1 GiB: reading it would take a gigabyte of memory and some seconds.
    const fs::path huge = folder / "huge.bin";
    std::ofstream(huge, std::ios::binary).close();
    fs::resize_file(huge, 1ull << 30);
    const auto started = std::chrono::steady_clock::now();
    const ctl_test::Run run =
        runCtl({"--json", "fw", "pack", (folder / "out.bin").string(), "1=" + huge.string()});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    expectUnusable(run, "larger than an entry can be");
    EXPECT_FALSE(fs::exists(folder / "out.bin"));
}

TEST(CtlFileFinalObjectTest, InfoAndPackOnUnusableFilesEndWithAnInvalidObject) {
    const fs::path folder = testing_support::makeTempFolder("ctlfinalfile");
    const fs::path pipe = folder / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const fs::path entry = folder / "entry.bin";
    std::ofstream(entry, std::ios::binary) << std::string(300, 'x');

    for (const auto& [path, why] :
         {std::pair{folder / "missing.bin", "cannot open"}, std::pair{folder, "is a folder"},
          std::pair{pipe, "not a regular file"}}) {
        SCOPED_TRACE(path.string());
        expectUnusable(runCtl({"--json", "fw", "info", path.string()}), why);
        expectUnusable(
            runCtl({"--json", "fw", "pack", (folder / "out.bin").string(), "1=" + path.string()}),
            why);
    }
    EXPECT_FALSE(fs::exists(folder / "out.bin"));

    // fw info keeps every field of its object, zero, beside the reason.
    const json info = finalObject(runCtl({"--json", "fw", "info", (folder / "gone").string()}).out);
    for (const char* field : {"magic", "totalSize", "entryCount", "fileCrc32"}) {
        EXPECT_EQ(info.value(field, -1), 0) << field << ": " << info.dump();
    }
    EXPECT_EQ(info.value("entries", json()), json::array());

    // An output that cannot be replaced (a pipe) ends the same way.
    expectUnusable(runCtl({"--json", "fw", "pack", pipe.string(), "1=" + entry.string()}),
                   "not a regular file");
}
