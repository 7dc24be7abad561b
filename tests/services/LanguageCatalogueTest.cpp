#include "services/LanguageCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "services/EnvironVar.h"

namespace {

namespace fs = std::filesystem;
using services::LanguageCatalogue;
using services::LanguageRow;

// A new language is its string table and its row: neither may come without the other.
TEST(LanguageCatalogueTest, EveryStringTableHasARowAndEveryRowATable) {
    const fs::path folder = fs::path(EnvironVar::GetInstallPath()) / "res" / "strings";
    std::set<std::string> tables;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".json") {
            tables.insert(entry.path().stem().string());
        }
    }
    std::set<std::string> rows;
    for (const LanguageRow& row : LanguageCatalogue::Rows()) {
        EXPECT_TRUE(rows.insert(std::string(row.tag)).second) << "two rows for " << row.tag;
    }
    EXPECT_EQ(tables.size(), 18u);
    EXPECT_EQ(rows, tables);
}

// Each language has exactly one culture its bare name reads, and a region another row serves
// belongs to a culture that is not a default one.
TEST(LanguageCatalogueTest, EveryLanguageHasOneDefaultCulture) {
    for (const LanguageRow& row : LanguageCatalogue::Rows()) {
        SCOPED_TRACE(row.tag);
        const std::string_view language = LanguageCatalogue::LanguageOf(row.tag);
        int defaults = 0;
        for (const LanguageRow& other : LanguageCatalogue::Rows()) {
            defaults += other.defaultRegion && LanguageCatalogue::LanguageOf(other.tag) == language;
        }
        EXPECT_EQ(defaults, 1);
        ASSERT_NE(LanguageCatalogue::DefaultFor(language), nullptr);
        EXPECT_EQ(LanguageCatalogue::Find(row.tag), &row);
        EXPECT_FALSE(row.releaseNotesKey.empty());
        EXPECT_EQ(row.face.empty(), row.families.empty());
    }
    EXPECT_EQ(LanguageCatalogue::Find("ko"), nullptr);
    EXPECT_EQ(LanguageCatalogue::DefaultFor("sv"), nullptr);
    EXPECT_EQ(LanguageCatalogue::ServingRegion("es", "AR")->tag, "es-MX");
    EXPECT_EQ(LanguageCatalogue::ServingRegion("pt", "BR"), nullptr);
    EXPECT_EQ(LanguageCatalogue::LanguageOf("zh_TW"), "zh");
}

}  // namespace
