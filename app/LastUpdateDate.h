#pragma once

#include <cstdint>
#include <string>

// The date of the last firmware update as the firmware screen writes it, in the conventions of
// the user's language (its row in the language catalogue): "2026년 12월 08일, 오후 04:48" for
// Korean, "Dec 08, 2026 04:48 PM" for every other language (month names in that language when its
// locale is installed). Without the language's locale the English form is used.
class LastUpdateDate {
public:
    // The longest text Format returns, in bytes.
    static constexpr std::size_t kMaxLength = 100;

    // seconds: since 1970, shown in local time. language: a culture name such as "ko-KR".
    // Empty when no date text results.
    static std::string Format(std::uint32_t seconds, const std::string& language);
    // "ko-KR" -> "ko_KR.UTF-8".
    static std::string LocaleName(const std::string& language);
};
