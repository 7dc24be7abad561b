#include "fota/DownloadFilePath.h"

#include "base/Log.h"
#include "services/SUtil.h"

namespace fota {
namespace {

constexpr const char* kFileKey = "&file=";

bool plainCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

}  // namespace

std::string safePackageFileName(const std::string& url) {
    const std::size_t key = url.find(kFileKey);
    if (key == std::string::npos) {
        return {};
    }
    std::string value = url.substr(key + std::char_traits<char>::length(kFileKey));
    value = value.substr(0, value.find_first_of("&#"));
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

std::string GetDownLoadFilePath(const std::string& url, bool temporary) {
    const std::string name = safePackageFileName(url);
    if (name.empty()) {
        _Log(LOG_INFO, "SFirmwareUpdateView::GetDownLoadFilePath", __LINE__,
             "GetDownLoadFilePath: Can not find file name in url: %s", url.c_str());
    }
    const std::string folder = SUtil::GetUserTempFolder();
    if (folder.empty()) {
        _Log(LOG_ERROR, "SFirmwareUpdateView::GetDownLoadFilePath", __LINE__,
             "the temporary folder is refused: no download path");
        return {};
    }
    return folder + "/" + name + (temporary ? ".temp" : "");
}

}  // namespace fota
