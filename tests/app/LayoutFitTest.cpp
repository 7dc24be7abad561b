// Every screen and dialog in every language at zoom 1, and at 1.5 and 2 in the languages with the
// longest texts and the other scripts (three zooms in every language took over five minutes on
// a busy machine): auralis-appshots reaches each of them on the headless backend, the toolkit
// reports each text that Pango ellipsized, that was cut by its box or its widget, or that has
// characters no installed font shows, and the test fails naming the language, the screen and the
// widget.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "services/LanguageCatalogue.h"
#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;

// The languages with a text table: the rows of the language catalogue.
const std::vector<std::string>& Languages() {
    static const std::vector<std::string> languages = [] {
        std::vector<std::string> tags;
        for (const services::LanguageRow& row : services::LanguageCatalogue::Rows()) {
            tags.emplace_back(row.tag);
        }
        return tags;
    }();
    return languages;
}

// Text grows a little faster than the zoom (hinting, rounded font sizes): these languages have
// the longest words and lines, or scripts of their own, and are also checked at 1.5 and 2.
bool CheckedAtEveryZoom(const std::string& language) {
    static const std::set<std::string> languages = {"de-DE", "nl-NL", "fr-FR", "ru-RU",
                                                    "ko-KR", "ar-AE", "vi-VN"};
    return languages.count(language) != 0;
}

struct Allowed {
    const char* widget;  // part of the widget path
    const char* text;
    const char* why;
};

// Texts that are cut by design.
const Allowed kAllowed[] = {
    {"_cameraPresetsListView", "Auralis2 with a rather long name that does not fit",
     "a device's own name ends in an ellipsis when the row cannot hold it"},
};

struct Problem {
    std::string language;
    std::string shot;
    std::string widget;
    std::string what;
    std::string text;
};

std::vector<Problem> ReadReport(const fs::path& file) {
    std::vector<Problem> problems;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, '\t')) {
            fields.push_back(field);
        }
        if (fields.size() == 5) {
            problems.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
        }
    }
    return problems;
}

bool IsAllowed(const Problem& problem) {
    return std::any_of(std::begin(kAllowed), std::end(kAllowed), [&](const Allowed& allowed) {
        return problem.widget.find(allowed.widget) != std::string::npos &&
               problem.text == allowed.text;
    });
}

class LayoutFitTest : public ::testing::TestWithParam<std::string> {};

TEST_P(LayoutFitTest, EveryTextFitsEveryScreenAndDialog) {
    const std::string language = GetParam();
    const fs::path folder = testing_support::makeTempFolder("fit-" + language);
    const fs::path report = folder / "report.tsv";
    const fs::path program = platform::paths::executableFolder() / "auralis-appshots";
    ASSERT_TRUE(fs::exists(program)) << program;
    const bool everyZoom = CheckedAtEveryZoom(language);
    const std::string zooms = everyZoom ? "1 1.5 2" : "1";
    // Bounded: a hung run is ended rather than waited for.
    const std::string command =
        "AURALIS_LANG=" + language + " AURALIS_SHOT_ZOOMS='" + zooms +
        "' AURALIS_TEXT_FIT_REPORT='" + report.string() + "' timeout 100 '" + program.string() +
        "' '" + (folder / "shots").string() + "' > '" + (folder / "log.txt").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "auralis-appshots failed; see " << folder;

    std::set<std::string> seen;
    for (const Problem& problem : ReadReport(report)) {
        EXPECT_EQ(problem.language, language);
        if (IsAllowed(problem)) {
            continue;
        }
        // One failure per widget, text and zoom, naming the first screen that shows it.
        const std::size_t at = problem.shot.rfind("-z");
        const std::string zoom = at == std::string::npos ? "" : problem.shot.substr(at);
        if (seen.insert(problem.widget + "\t" + problem.text + "\t" + zoom).second) {
            ADD_FAILURE() << language << ", screen " << problem.shot << ", widget \""
                          << problem.widget << "\": text " << problem.what << ": \"" << problem.text
                          << "\"";
        }
    }
    // The run reached the screens at every zoom: the welcome screen, a main screen and a dialog
    // were written.
    for (const char* zoom : {"z1", "z1.5", "z2"}) {
        if (!everyZoom && std::string(zoom) != "z1") {
            continue;
        }
        for (const char* shot : {"menu-open-", "home-r170-", "fw-dialog-mismatch-"}) {
            EXPECT_TRUE(fs::exists(folder / "shots" / (std::string(shot) + zoom + ".png")))
                << shot << zoom;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LayoutFitTest, ::testing::ValuesIn(Languages()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(LayoutFitLanguages, EveryTextTableIsChecked) {
    const fs::path tables = platform::paths::executableFolder() / "res" / "strings";
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(tables)) {
        if (entry.path().extension() == ".json") {
            found.insert(entry.path().stem().string());
        }
    }
    const std::set<std::string> checked(Languages().begin(), Languages().end());
    EXPECT_EQ(found, checked);
}

}  // namespace
