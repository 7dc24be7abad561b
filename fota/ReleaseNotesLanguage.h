#pragma once

#include <map>
#include <string>

// Which release notes of the update server's answer suit the user's language.
namespace fota {

// The key of the release-notes map for a culture name ("es-MX" → "ESP_LAT", "zh-HK" → "TWN");
// "ENG" for every language outside the table, "ko-KR" included (Korean notes travel apart).
// Exact and case-sensitive.
std::string releaseNotesKey(const std::string& language);

// The notes under the language's key; empty when the map lacks it.
std::string releaseNotesFor(const std::map<std::string, std::string>& notes,
                            const std::string& language);

}  // namespace fota
