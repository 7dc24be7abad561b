#include "fota/DownloadFilePath.h"

#include <cstdio>

#include "base/Log.h"
#include "services/SUtil.h"

namespace fota {
namespace {

constexpr const char* kFileKey = "&file=";

bool plainCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// value reduced to one plain file name (see safePackageFileName); empty when nothing is left.
std::string plainFileName(std::string value) {
    // Only the last path component can name the file.
    const std::size_t slash = value.find_last_of("/\\");
    if (slash != std::string::npos) {
        value = value.substr(slash + 1);
    }
    std::string name;
    for (const char c : value) {
        name += plainCharacter(c) ? c : '_';
    }
    name.erase(0, name.find_first_not_of('.'));
    if (name.find_first_not_of('.') == std::string::npos) {
        return {};
    }
    return name.substr(0, kMaxPackageFileNameLength);
}

}  // namespace

std::string safePackageFileName(const std::string& url) {
    const std::size_t key = url.find(kFileKey);
    if (key == std::string::npos) {
        return {};
    }
    std::string value = url.substr(key + std::char_traits<char>::length(kFileKey));
    return plainFileName(value.substr(0, value.find_first_of("&#")));
}

std::string packageFileName(const std::string& url, const std::string& model,
                            const std::string& version, uint64_t pairAddress) {
    std::string name = safePackageFileName(url);
    if (name.empty()) {
        name = plainFileName("Auralis_" + model + "_" + version + ".bin");
    }
    char prefix[16];
    std::snprintf(prefix, sizeof(prefix), "%012llX-",
                  static_cast<unsigned long long>(pairAddress & 0xFFFFFFFFFFFFull));
    return prefix + name;
}

std::string packageFilePath(const std::string& name, bool temporary) {
    const std::string folder = SUtil::GetUserTempFolder();
    if (folder.empty()) {
        _Log(LOG_ERROR, "SFirmwareUpdateView::GetDownLoadFilePath", __LINE__,
             "the temporary folder is refused: no download path");
        return {};
    }
    return folder + "/" + name + (temporary ? ".temp" : "");
}

std::string GetDownLoadFilePath(const std::string& url, bool temporary) {
    const std::string name = safePackageFileName(url);
    if (name.empty()) {
        _Log(LOG_INFO, "SFirmwareUpdateView::GetDownLoadFilePath", __LINE__,
             "GetDownLoadFilePath: Can not find file name in url: %s", url.c_str());
    }
    return packageFilePath(name, temporary);
}

}  // namespace fota
