#pragma once

#include <span>
#include <string_view>

namespace services {

// How the date of the last firmware update is written in a language.
enum class DateForm {
    MonthFirst,  // "Dec 08, 2026 04:48 PM", month names in the language
    Korean,      // "2026년 12월 08일, 오후 04:48": year, month and day with their own words
};

// One language the program ships: everything that differs by language besides its texts.
struct LanguageRow {
    // The culture name; also the name of its string table, res/strings/<tag>.json.
    std::string_view tag;
    // This culture is the one a bare language ("de") and a region without a table of its own
    // ("de-AT") read.
    bool defaultRegion = true;
    // Further regions whose texts read most naturally in this table, ahead of the default
    // culture (Latin-American Spanish reads the Mexican table).
    std::span<const std::string_view> servesRegions;
    // The key of the update server's release notes in this language; "ENG" reads the English
    // notes.
    std::string_view releaseNotesKey = "ENG";
    DateForm dateForm = DateForm::MonthFirst;
    // The face the product was designed with and the installed families that stand for it (a
    // Pango list); empty: the default face and families.
    std::string_view face;
    std::string_view families;
    // Laid out right to left. Every region of such a language reads its table, its fonts and
    // its direction.
    bool rightToLeft = false;
};

// The languages the program ships, one row each, in the order of their tags. A new language
// is its string table and one row here.
class LanguageCatalogue {
public:
    // The face and families of languages whose row names none.
    static constexpr std::string_view kDefaultFace = "Segoe UI";
    static constexpr std::string_view kDefaultFamilies = "Noto Sans, DejaVu Sans, Noto Sans CJK KR";

    static std::span<const LanguageRow> Rows();
    // The row of exactly this tag ("zh-HK"); nullptr for any other.
    static const LanguageRow* Find(std::string_view tag);
    // The default culture of a bare language ("es" → the "es-ES" row); nullptr when none.
    static const LanguageRow* DefaultFor(std::string_view language);
    // The row that serves a region of a language besides its own ("es", "AR" → "es-MX").
    static const LanguageRow* ServingRegion(std::string_view language, std::string_view region);
    // The language part of a tag: "ar" of "ar-SA" (or of "ar_SA").
    static std::string_view LanguageOf(std::string_view tag);
};

}  // namespace services
