#include "tests/common/TestSandbox.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {
namespace {

namespace fs = std::filesystem;

fs::path createSandbox() {
    std::string pattern = (fs::temp_directory_path() / "auralis-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create the test sandbox");
    }
    return fs::path(pattern);
}

}  // namespace

const fs::path& sandboxFolder() {
    static const fs::path folder = createSandbox();
    return folder;
}

fs::path makeTempFolder(const std::string& prefix) {
    static std::atomic<int> counter{0};
    fs::path folder = sandboxFolder() / (prefix + "-" + std::to_string(++counter));
    fs::create_directories(folder);
    return folder;
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_hadValue = true;
        m_oldValue = old;
    }
    ::setenv(m_name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_hadValue) {
        ::setenv(m_name.c_str(), m_oldValue.c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

}  // namespace testing_support
