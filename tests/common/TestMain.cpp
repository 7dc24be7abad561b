#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;

void pointFoldersIntoSandbox() {
    const fs::path& sandbox = testing_support::sandboxFolder();
    const struct {
        const char* variable;
        const char* folder;
    } folders[] = {
        {"AURALIS_CONFIG_DIR", "config"},  {"AURALIS_TEMP_DIR", "tmp"},
        {"AURALIS_LOG_DIR", "log"},        {"XDG_RUNTIME_DIR", "runtime"},
        {"XDG_CONFIG_HOME", "xdg-config"}, {"XDG_CACHE_HOME", "xdg-cache"},
        {"XDG_STATE_HOME", "xdg-state"},
    };
    for (const auto& entry : folders) {
        const fs::path path = sandbox / entry.folder;
        fs::create_directories(path);
        fs::permissions(path, fs::perms::owner_all);
        ::setenv(entry.variable, path.c_str(), 1);
    }
    // Tests never reach the network or the real update server unless they say so.
    ::unsetenv("AURALIS_UPDATE_URL");
    ::unsetenv("AURALIS_LANG");
    ::unsetenv("AURALIS_LOG_STDERR");
    // Nor a Bluetooth backend or virtual neighbourhood of the developer's own session.
    ::unsetenv("AURALIS_BACKEND");
    ::unsetenv("AURALIS_SIM_SOCKET");
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    pointFoldersIntoSandbox();
    const int result = RUN_ALL_TESTS();
    std::error_code error;
    if (std::getenv("AURALIS_KEEP_SANDBOX") == nullptr) {
        fs::remove_all(testing_support::sandboxFolder(), error);
    }
    return result;
}
