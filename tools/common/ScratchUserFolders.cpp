#include "tools/common/ScratchUserFolders.h"

#include <stdlib.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace tools {

namespace {

namespace fs = std::filesystem;

struct FolderVariable {
    const char* name;
    const char* subfolder;
};

constexpr FolderVariable kFolders[] = {
    {"AURALIS_CONFIG_DIR", "config"},
    {"AURALIS_TEMP_DIR", "tmp"},
    {"AURALIS_LOG_DIR", "log"},
};

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A fresh folder only this user may enter, below $TMPDIR (else /tmp).
fs::path makePrivateFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        (tmp != nullptr && *tmp != '\0' ? std::string(tmp) : std::string("/tmp")) +
        "/auralis-shots-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

}  // namespace

ScratchUserFolders::ScratchUserFolders() {
    bool needed = false;
    for (const FolderVariable& folder : kFolders) {
        needed = needed || !isSet(folder.name);
    }
    if (!needed) {
        return;
    }
    m_root = makePrivateFolder();
    if (m_root.empty()) {
        return;
    }
    for (const FolderVariable& folder : kFolders) {
        if (!isSet(folder.name)) {
            const fs::path path = m_root / folder.subfolder;
            std::error_code ignored;
            fs::create_directory(path, ignored);
            ::setenv(folder.name, path.c_str(), 1);
        }
    }
}

ScratchUserFolders::~ScratchUserFolders() {
    if (!m_root.empty()) {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
}

}  // namespace tools
