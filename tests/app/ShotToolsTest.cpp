// The screenshot tools put the screens into states the user never chose (update badges, a last
// update date, flags). A run must leave the user's own folders as they were: the tools work in
// scratch folders of their own, which are gone when they end.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/TestSandbox.h"

namespace fs = std::filesystem;

namespace {

// Every file below folder, by its path relative to it.
std::vector<std::string> FilesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    if (fs::exists(folder)) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
            files.push_back(fs::relative(entry.path(), folder).string());
        }
    }
    return files;
}

TEST(ShotToolsTest, ARunLeavesTheUsersFoldersAsTheyWere) {
    const fs::path folder = testing_support::makeTempFolder("shot-tools");
    const fs::path home = folder / "home";
    const fs::path tmp = folder / "tmp";
    fs::create_directories(home);
    fs::create_directories(tmp);
    for (const char* tool : {"auralis-updatershots", "auralis-appshots"}) {
        const fs::path shots = folder / tool;
        testing_support::ChildProcess child(
            {(platform::paths::executableFolder() / tool).string(), shots.string()},
            {.extraEnvironment = {"HOME=" + home.string(), "TMPDIR=" + tmp.string(),
                                  "AURALIS_SHOT_ZOOMS=1", "AURALIS_LANG=en-US"},
             .removedEnvironment = {"AURALIS_CONFIG_DIR", "AURALIS_TEMP_DIR", "AURALIS_LOG_DIR",
                                    "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                                    "XDG_DATA_HOME"},
             .output = folder / (std::string(tool) + ".out"),
             .inputFromNull = true});
        EXPECT_EQ(child.wait(std::chrono::seconds(100)).value_or(-1), 0) << child.output();
        EXPECT_FALSE(FilesBelow(shots).empty()) << tool << " drew nothing";
        EXPECT_EQ(FilesBelow(home), std::vector<std::string>{}) << tool << " wrote to the home";
        EXPECT_EQ(FilesBelow(tmp), std::vector<std::string>{}) << tool << " left scratch files";
    }
}

}  // namespace
