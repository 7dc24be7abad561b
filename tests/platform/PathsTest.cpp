#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/common/TestSandbox.h"

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

TEST(PathsTest, ExecutableFolderHoldsTheRunningProgram) {
    EXPECT_TRUE(fs::exists(platform::paths::executablePath()));
    EXPECT_EQ(platform::paths::executablePath().parent_path(), platform::paths::executableFolder());
}

TEST(PathsTest, OverridesWinOverXdgFolders) {
    ScopedEnv config("AURALIS_CONFIG_DIR", "/tmp/a-config");
    EXPECT_EQ(platform::paths::userFolder(), fs::path("/tmp/a-config"));

    ScopedEnv noConfig("AURALIS_CONFIG_DIR", "");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg");
    EXPECT_EQ(platform::paths::userFolder(), fs::path("/tmp/xdg/AuralisManager"));
}

TEST(PathsTest, RelativeXdgValuesAreIgnored) {
    ScopedEnv home("HOME", "/home/someone");
    ScopedEnv cache("XDG_CACHE_HOME", "relative/cache");
    ScopedEnv temp("AURALIS_TEMP_DIR", "");
    EXPECT_EQ(platform::paths::tempFolder(), fs::path("/home/someone/.cache/AuralisManager/tmp"));
    ScopedEnv state("XDG_STATE_HOME", "");
    ScopedEnv logs("AURALIS_LOG_DIR", "");
    EXPECT_EQ(platform::paths::logFolder(),
              fs::path("/home/someone/.local/state/AuralisManager/log"));
}

TEST(PathsTest, PrivateFolderIsCreatedOwnerOnly) {
    const fs::path folder = testing_support::makeTempFolder("paths") / "a" / "b";
    ASSERT_TRUE(platform::paths::ensurePrivateFolder(folder));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(platform::paths::ensurePrivateFolder(folder)) << "an existing folder is fine";
}

TEST(PathsTest, PrivateFolderFailsWhereAFileStands) {
    const fs::path folder = testing_support::makeTempFolder("paths");
    const fs::path file = folder / "file";
    FILE* handle = std::fopen(file.c_str(), "w");
    ASSERT_NE(handle, nullptr);
    std::fclose(handle);
    EXPECT_FALSE(platform::paths::ensurePrivateFolder(file));
    EXPECT_FALSE(platform::paths::ensurePrivateFolder(file / "below"));
}

TEST(PathsTest, WithoutHomeNothingFallsBackToASharedFolder) {
    ScopedEnv home("HOME", "");
    ScopedEnv config("AURALIS_CONFIG_DIR", "");
    ScopedEnv xdgConfig("XDG_CONFIG_HOME", "");
    ScopedEnv logs("AURALIS_LOG_DIR", "");
    ScopedEnv xdgState("XDG_STATE_HOME", "");
    for (const fs::path& folder : {platform::paths::userFolder(), platform::paths::logFolder()}) {
        EXPECT_FALSE(folder.empty()) << "the password database knows this user's home";
        EXPECT_NE(folder.string().rfind("/tmp", 0), 0u) << folder;
    }
}

TEST(PathsTest, AnExistingFolderOthersMayWriteToIsMadePrivate) {
    const fs::path folder = testing_support::makeTempFolder("paths") / "open";
    ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    ASSERT_TRUE(platform::paths::ensurePrivateFolder(folder));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(PathsTest, SharedOrForeignFoldersAreRefused) {
    const fs::path shared = testing_support::makeTempFolder("paths") / "shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    EXPECT_FALSE(platform::paths::ensurePrivateFolder(shared));
    struct stat info {};
    ASSERT_EQ(::stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 01777u) << "a shared folder is left as it is";

    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a folder of another user needs root";
    }
    const fs::path foreign = testing_support::makeTempFolder("paths") / "foreign";
    ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(platform::paths::ensurePrivateFolder(foreign));
}
