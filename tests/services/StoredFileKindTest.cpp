// Settings and flags are read only from regular files of a sensible size: a folder, a named
// pipe, a device (behind a link) or a huge file in their place gives the defaults at once,
// without an exception, a wait or a gigabyte read, and is left where it is. A damaged flags
// file is kept aside as flags.json.bad, as a damaged settings file is.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/Paths.h"
#include "services/EnvironVar.h"
#include "services/SSetting.h"
#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

enum class Kind { Folder, Pipe, DeviceLink, Huge };

const char* name(Kind kind) {
    switch (kind) {
        case Kind::Folder:
            return "folder";
        case Kind::Pipe:
            return "pipe";
        case Kind::DeviceLink:
            return "link to /dev/zero";
        case Kind::Huge:
            return "huge file";
    }
    return "";
}

void make(Kind kind, const fs::path& path) {
    switch (kind) {
        case Kind::Folder:
            fs::create_directory(path);
            std::ofstream(path / "inside") << "kept";
            break;
        case Kind::Pipe:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case Kind::DeviceLink:
            fs::create_symlink("/dev/zero", path);
            break;
        case Kind::Huge:
            std::ofstream(path).close();
            fs::resize_file(path, 64u << 20);
            break;
    }
}

// Runs body; should it still run after the bound (a reader stuck on the pipe), a writer opens
// and closes the pipe so that it ends, and the run counts as stalled.
bool finishesPromptly(const fs::path& pipe, const std::function<void()>& body) {
    std::atomic<bool> done{false};
    std::thread runner([&] {
        body();
        done = true;
    });
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done && std::chrono::steady_clock::now() < bound) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const bool prompt = done;
    while (!done) {
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    runner.join();
    return prompt;
}

constexpr Kind kKinds[] = {Kind::Folder, Kind::Pipe, Kind::DeviceLink, Kind::Huge};

}  // namespace

TEST(StoredFileKindTest, SettingsInPlaceOfAFileGiveDefaultsAndStayUntouched) {
    for (const Kind kind : kKinds) {
        SCOPED_TRACE(name(kind));
        const fs::path path = testing_support::makeTempFolder("settingkind") / "setting.xml";
        make(kind, path);
        const fs::file_type before = fs::symlink_status(path).type();
        SSetting setting;
        bool loaded = true;
        EXPECT_TRUE(finishesPromptly(path, [&] { loaded = setting.Load(path.string(), 0); }));
        EXPECT_FALSE(loaded);
        EXPECT_EQ(setting.GetSettingChild("Update"), nullptr);
        setting.AddSettingChild("Update")->Update("ReCheck", "0");
        EXPECT_TRUE(finishesPromptly(path, [&] { setting.Save(); }));
        EXPECT_EQ(fs::symlink_status(path).type(), before);
        if (kind == Kind::Folder) {
            EXPECT_TRUE(fs::exists(path / "inside"));
        }
    }
}

TEST(StoredFileKindTest, FlagsInPlaceOfAFileGiveDefaultsAndStayUntouched) {
    for (const Kind kind : kKinds) {
        SCOPED_TRACE(name(kind));
        const fs::path folder = testing_support::makeTempFolder("flagskind");
        const ScopedEnv user("AURALIS_CONFIG_DIR", folder.string());
        const fs::path path = folder / "flags.json";
        make(kind, path);
        const fs::file_type before = fs::symlink_status(path).type();
        EXPECT_TRUE(finishesPromptly(path, [] { EnvironVar::Reload(); }));
        EXPECT_EQ(EnvironVar::GetIsNotifyUpdate(), 1);
        EXPECT_EQ(EnvironVar::IsSupportMultiPopup(), 1);
        // A change lives in memory; what stands in the file's place is not replaced.
        EXPECT_TRUE(finishesPromptly(path, [] { EnvironVar::SetSupportGuest(1); }));
        EXPECT_EQ(EnvironVar::IsSupportGuest(), 1);
        EXPECT_EQ(fs::symlink_status(path).type(), before);
        if (kind == Kind::Huge) {
            EXPECT_EQ(fs::file_size(path), 64u << 20);
        }
    }
    EnvironVar::Reload();
}

TEST(StoredFileKindTest, ADamagedFlagsFileIsKeptAsBadBeforeTheDefaultsReplaceIt) {
    const fs::path folder = testing_support::makeTempFolder("flagsbad");
    const ScopedEnv user("AURALIS_CONFIG_DIR", folder.string());
    const std::string damaged = "{\"notify\": 0, \"guest\": 1, broken";
    std::ofstream(folder / "flags.json") << damaged;
    EnvironVar::Reload();
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdate(), 1);
    EnvironVar::SetSupportMultiPopup(0);

    std::ifstream kept(folder / "flags.json.bad");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
    EnvironVar::Reload();
    EXPECT_EQ(EnvironVar::IsSupportMultiPopup(), 0);
    EnvironVar::Reload();
}
