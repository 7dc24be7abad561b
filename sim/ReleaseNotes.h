#pragma once

#include <map>
#include <string>

namespace sim {

// Release notes for a firmware version in every language code the program looks up
// ("CHN", "DEU", "ESP", "ESP_LAT", "FRA", "ITA", "JPN", "NLD", "PRT", "RUS", "TUR", "TWN",
// "VNM", "ENG"), plus the separate Korean notes.
class ReleaseNotes {
public:
    static std::map<std::string, std::string> byLanguage(const std::string& version);
    static std::string korean(const std::string& version);
};

}  // namespace sim
