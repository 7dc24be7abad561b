#include "services/LanguageCatalogue.h"

#include <algorithm>

namespace services {
namespace {

constexpr std::string_view kLatinAmerica[] = {"419", "AR", "BO", "CL", "CO", "CR", "CU",
                                              "DO",  "EC", "GT", "HN", "NI", "PA", "PE",
                                              "PR",  "PY", "SV", "US", "UY", "VE"};
constexpr std::string_view kSingapore[] = {"SG"};
constexpr std::string_view kMacau[] = {"MO"};

// Arabic and Hebrew keep the default face; Noto's own script families come before DejaVu,
// whose Arabic would otherwise be picked for every Arabic letter. The other families are
// Debian's Noto and DejaVu packages; fontconfig falls back further for other scripts.
constexpr LanguageRow kRows[] = {
    {.tag = "ar-AE",
     .face = LanguageCatalogue::kDefaultFace,
     .families = "Noto Sans, Noto Sans Arabic, DejaVu Sans",
     .rightToLeft = true},
    {.tag = "de-DE", .releaseNotesKey = "DEU"},
    {.tag = "en-US"},
    {.tag = "es-ES", .releaseNotesKey = "ESP"},
    {.tag = "es-MX",
     .defaultRegion = false,
     .servesRegions = kLatinAmerica,
     .releaseNotesKey = "ESP_LAT"},
    {.tag = "fr-FR", .releaseNotesKey = "FRA"},
    {.tag = "he-IL",
     .face = LanguageCatalogue::kDefaultFace,
     .families = "Noto Sans, Noto Sans Hebrew, DejaVu Sans",
     .rightToLeft = true},
    {.tag = "it-IT", .releaseNotesKey = "ITA"},
    {.tag = "ja-JP",
     .releaseNotesKey = "JPN",
     .face = "Meiryo UI",
     .families = "Noto Sans CJK JP, Noto Sans, DejaVu Sans"},
    // Korean release notes travel apart from the server's map: the English key.
    {.tag = "ko-KR",
     .dateForm = DateForm::Korean,
     .face = "Malgun Gothic",
     .families = "Noto Sans CJK KR, Noto Sans, DejaVu Sans"},
    {.tag = "nl-NL", .releaseNotesKey = "NLD"},
    {.tag = "pt-PT", .releaseNotesKey = "PRT"},
    {.tag = "ru-RU", .releaseNotesKey = "RUS"},
    {.tag = "tr-TR", .releaseNotesKey = "TUR"},
    {.tag = "vi-VN", .releaseNotesKey = "VNM"},
    {.tag = "zh-CN",
     .servesRegions = kSingapore,
     .releaseNotesKey = "CHN",
     .face = "SimSun",
     .families = "Noto Serif CJK SC, Noto Sans CJK SC, Noto Sans"},
    {.tag = "zh-HK",
     .defaultRegion = false,
     .servesRegions = kMacau,
     .releaseNotesKey = "TWN",
     .face = "SimSun",
     .families = "Noto Serif CJK TC, Noto Sans CJK HK, Noto Sans"},
    {.tag = "zh-TW",
     .defaultRegion = false,
     .releaseNotesKey = "TWN",
     .face = "SimSun",
     .families = "Noto Serif CJK TC, Noto Sans CJK TC, Noto Sans"},
};

}  // namespace

std::span<const LanguageRow> LanguageCatalogue::Rows() {
    return kRows;
}

const LanguageRow* LanguageCatalogue::Find(std::string_view tag) {
    for (const LanguageRow& row : kRows) {
        if (row.tag == tag) {
            return &row;
        }
    }
    return nullptr;
}

const LanguageRow* LanguageCatalogue::DefaultFor(std::string_view language) {
    for (const LanguageRow& row : kRows) {
        if (row.defaultRegion && LanguageOf(row.tag) == language) {
            return &row;
        }
    }
    return nullptr;
}

const LanguageRow* LanguageCatalogue::ServingRegion(std::string_view language,
                                                    std::string_view region) {
    for (const LanguageRow& row : kRows) {
        if (LanguageOf(row.tag) == language &&
            std::find(row.servesRegions.begin(), row.servesRegions.end(), region) !=
                row.servesRegions.end()) {
            return &row;
        }
    }
    return nullptr;
}

std::string_view LanguageCatalogue::LanguageOf(std::string_view tag) {
    return tag.substr(0, tag.find_first_of("-_"));
}

}  // namespace services
