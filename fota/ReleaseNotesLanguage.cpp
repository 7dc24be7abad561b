#include "fota/ReleaseNotesLanguage.h"

#include <array>
#include <utility>

namespace fota {
namespace {

constexpr std::array<std::pair<const char*, const char*>, 14> kKeys = {{
    {"zh-CN", "CHN"},
    {"de-DE", "DEU"},
    {"es-ES", "ESP"},
    {"es-MX", "ESP_LAT"},
    {"fr-FR", "FRA"},
    {"it-IT", "ITA"},
    {"ja-JP", "JPN"},
    {"nl-NL", "NLD"},
    {"pt-PT", "PRT"},
    {"ru-RU", "RUS"},
    {"tr-TR", "TUR"},
    {"zh-TW", "TWN"},
    {"zh-HK", "TWN"},
    {"vi-VN", "VNM"},
}};

}  // namespace

std::string releaseNotesKey(const std::string& language) {
    for (const auto& [culture, key] : kKeys) {
        if (language == culture) {
            return key;
        }
    }
    return "ENG";
}

std::string releaseNotesFor(const std::map<std::string, std::string>& notes,
                            const std::string& language) {
    const auto found = notes.find(releaseNotesKey(language));
    return found != notes.end() ? found->second : std::string();
}

}  // namespace fota
