#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// The folder this test process runs in; AURALIS_CONFIG_DIR, AURALIS_TEMP_DIR, AURALIS_LOG_DIR
// and XDG_RUNTIME_DIR point below it. Removed when the process ends.
const std::filesystem::path& sandboxFolder();

// A fresh, empty folder below the sandbox.
std::filesystem::path makeTempFolder(const std::string& prefix);

// Sets an environment variable for the lifetime of the object, then restores the old value.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_hadValue = false;
    std::string m_oldValue;
};

}  // namespace testing_support
