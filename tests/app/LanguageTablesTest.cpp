// What every place that depends on the user's language answers for each of the 18 shipped
// languages: the culture a bare language gets, the string tables tried, the release-notes key,
// the fonts, the reading direction and the date form. One table of expected answers, so a
// change to how languages are described shows here as a changed answer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/LastUpdateDate.h"
#include "fota/ReleaseNotesLanguage.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "tests/common/TestSandbox.h"
#include "ui/SFontTable.h"

namespace {

using List = std::vector<std::string>;

constexpr const char* kDefaultFamilies = "Noto Sans, DejaVu Sans, Noto Sans CJK KR";

struct Expected {
    const char* tag;
    const char* bareLanguageReads;  // the culture LanguageFromLocale gives the bare language
    List tables;                    // SLocale::TableCandidates(tag)
    const char* notesKey;
    const char* face;
    const char* families;
    bool rightToLeft;
};

const Expected kExpected[] = {
    {"ar-AE",
     "ar-AE",
     {"ar-AE", "ar"},
     "ENG",
     "Segoe UI",
     "Noto Sans, Noto Sans Arabic, DejaVu Sans",
     true},
    {"de-DE", "de-DE", {"de-DE", "de"}, "DEU", "Segoe UI", kDefaultFamilies, false},
    {"en-US", "en-US", {"en-US", "en"}, "ENG", "Segoe UI", kDefaultFamilies, false},
    {"es-ES", "es-ES", {"es-ES", "es"}, "ESP", "Segoe UI", kDefaultFamilies, false},
    {"es-MX", "es-ES", {"es-MX", "es", "es-ES"}, "ESP_LAT", "Segoe UI", kDefaultFamilies, false},
    {"fr-FR", "fr-FR", {"fr-FR", "fr"}, "FRA", "Segoe UI", kDefaultFamilies, false},
    {"he-IL",
     "he-IL",
     {"he-IL", "he"},
     "ENG",
     "Segoe UI",
     "Noto Sans, Noto Sans Hebrew, DejaVu Sans",
     true},
    {"it-IT", "it-IT", {"it-IT", "it"}, "ITA", "Segoe UI", kDefaultFamilies, false},
    {"ja-JP",
     "ja-JP",
     {"ja-JP", "ja"},
     "JPN",
     "Meiryo UI",
     "Noto Sans CJK JP, Noto Sans, DejaVu Sans",
     false},
    {"ko-KR",
     "ko-KR",
     {"ko-KR", "ko"},
     "ENG",
     "Malgun Gothic",
     "Noto Sans CJK KR, Noto Sans, DejaVu Sans",
     false},
    {"nl-NL", "nl-NL", {"nl-NL", "nl"}, "NLD", "Segoe UI", kDefaultFamilies, false},
    {"pt-PT", "pt-PT", {"pt-PT", "pt"}, "PRT", "Segoe UI", kDefaultFamilies, false},
    {"ru-RU", "ru-RU", {"ru-RU", "ru"}, "RUS", "Segoe UI", kDefaultFamilies, false},
    {"tr-TR", "tr-TR", {"tr-TR", "tr"}, "TUR", "Segoe UI", kDefaultFamilies, false},
    {"vi-VN", "vi-VN", {"vi-VN", "vi"}, "VNM", "Segoe UI", kDefaultFamilies, false},
    {"zh-CN",
     "zh-CN",
     {"zh-CN", "zh"},
     "CHN",
     "SimSun",
     "Noto Serif CJK SC, Noto Sans CJK SC, Noto Sans",
     false},
    {"zh-HK",
     "zh-CN",
     {"zh-HK", "zh", "zh-CN"},
     "TWN",
     "SimSun",
     "Noto Serif CJK TC, Noto Sans CJK HK, Noto Sans",
     false},
    {"zh-TW",
     "zh-CN",
     {"zh-TW", "zh", "zh-CN"},
     "TWN",
     "SimSun",
     "Noto Serif CJK TC, Noto Sans CJK TC, Noto Sans",
     false},
};

std::string bareLanguage(const std::string& tag) {
    return tag.substr(0, tag.find('-'));
}

std::string localeValue(std::string tag) {
    tag[tag.find('-')] = '_';
    return tag + ".UTF-8";
}

TEST(LanguageTablesTest, EveryShippedLanguageKeepsItsAnswers) {
    for (const Expected& row : kExpected) {
        SCOPED_TRACE(row.tag);
        EXPECT_EQ(EnvironVar::LanguageFromLocale(localeValue(row.tag)), row.tag);
        EXPECT_EQ(EnvironVar::LanguageFromLocale(bareLanguage(row.tag)), row.bareLanguageReads);
        EXPECT_EQ(SLocale::TableCandidates(row.tag), row.tables);
        EXPECT_EQ(fota::releaseNotesKey(row.tag), row.notesKey);
        const auto [face, families] = SFontTable::FaceForLocale(row.tag);
        EXPECT_EQ(face, row.face);
        EXPECT_EQ(families, row.families);
        EXPECT_EQ(SFontTable::IsRightToLeftLocale(row.tag), row.rightToLeft);
    }
}

// Tags outside the shipped 18: other regions and bare languages keep the fallbacks they had.
TEST(LanguageTablesTest, OtherTagsKeepTheirFallbacks) {
    EXPECT_EQ(EnvironVar::LanguageFromLocale("sv"), "sv");
    EXPECT_EQ(EnvironVar::LanguageFromLocale("en"), "en-US");
    // English regions without a table of their own are not given the US table as theirs: the
    // look-up falls back to English in any case and says that the region has no table.
    EXPECT_EQ(SLocale::TableCandidates("en-GB"), (List{"en-GB", "en"}));
    EXPECT_EQ(SLocale::TableCandidates("es-US"), (List{"es-US", "es", "es-MX", "es-ES"}));
    EXPECT_EQ(SLocale::TableCandidates("zh-MO"), (List{"zh-MO", "zh", "zh-HK", "zh-CN"}));
    EXPECT_EQ(SLocale::TableCandidates("ko"), (List{"ko", "ko-KR"}));
    EXPECT_EQ(fota::releaseNotesKey("es"), "ENG");
    EXPECT_EQ(fota::releaseNotesKey("zh-SG"), "ENG");
    // A right-to-left language reads right to left, in its own fonts, in every region.
    EXPECT_TRUE(SFontTable::IsRightToLeftLocale("ar-SA"));
    EXPECT_TRUE(SFontTable::IsRightToLeftLocale("he"));
    EXPECT_EQ(SFontTable::FaceForLocale("ar-SA").second,
              "Noto Sans, Noto Sans Arabic, DejaVu Sans");
    // Other languages' fonts follow the full tag only.
    EXPECT_EQ(SFontTable::FaceForLocale("ko").first, "Segoe UI");
    EXPECT_EQ(SFontTable::FaceForLocale("ja-JP.UTF-8").first, "Meiryo UI");
    EXPECT_FALSE(SFontTable::IsRightToLeftLocale("fa-IR"));
    EXPECT_EQ(SFontTable::FaceForLocale("").second, kDefaultFamilies);
}

class LanguageDateTest : public ::testing::Test {
protected:
    LanguageDateTest() : m_zone(std::make_unique<testing_support::ScopedEnv>("TZ", "UTC")) {
        tzset();
    }
    ~LanguageDateTest() override {
        m_zone.reset();
        tzset();
    }

private:
    std::unique_ptr<testing_support::ScopedEnv> m_zone;
};

// Korean writes year, month and day with their own words; every other language writes the
// month first and the time after the year, whatever its month names.
TEST_F(LanguageDateTest, OnlyKoreanWritesTheYearFirst) {
    const std::uint32_t december = 1796748480;  // 2026-12-08 16:48 UTC
    for (const Expected& row : kExpected) {
        SCOPED_TRACE(row.tag);
        const std::string text = LastUpdateDate::Format(december, row.tag);
        if (std::string(row.tag) == "ko-KR") {
            EXPECT_EQ(text.find("08, 2026 04:48"), std::string::npos);
        } else {
            EXPECT_NE(text.find("08, 2026 04:48"), std::string::npos) << text;
        }
    }
}

}  // namespace
