#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"

namespace fs = std::filesystem;

namespace {

bool waitForFile(const fs::path& path) {
    return testing_support::eventually(
        [&] {
            std::error_code error;
            return fs::file_size(path, error) > 0 && !error;
        },
        std::chrono::seconds(5));
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(ProcessTest, SpawnRunsTheProgramWithItsArgumentsUnchanged) {
    const fs::path out = testing_support::makeTempFolder("spawn") / "out";
    ASSERT_TRUE(
        platform::process::spawn("/bin/sh", {"-c", "printf '%s|%s' \"$1\" \"$2\" > \"$3\"", "sh",
                                             "two words", "/v \"1.0\"", out.string()}));
    ASSERT_TRUE(waitForFile(out));
    EXPECT_EQ(readAll(out), "two words|/v \"1.0\"");
}

TEST(ProcessTest, SpawnFailsForAMissingProgram) {
    EXPECT_FALSE(platform::process::spawn("/nonexistent/program", {}));
    EXPECT_FALSE(platform::process::spawn("no-such-program-anywhere", {}));
    EXPECT_FALSE(platform::process::spawn("", {}));
}

TEST(ProcessTest, OpenUrlHandsTheAddressToTheOpener) {
    const fs::path folder = testing_support::makeTempFolder("open");
    const fs::path opener = folder / "opener";
    const fs::path out = folder / "out";
    {
        std::ofstream script(opener);
        script << "#!/bin/sh\nprintf '%s' \"$1\" > " << out.string() << "\n";
    }
    fs::permissions(opener, fs::perms::owner_all);
    testing_support::ScopedEnv env("AURALIS_OPEN_URL", opener.string());
    ASSERT_TRUE(platform::process::openUrl("https://example.invalid/a?b=c&d=e"));
    ASSERT_TRUE(waitForFile(out));
    EXPECT_EQ(readAll(out), "https://example.invalid/a?b=c&d=e");
}
