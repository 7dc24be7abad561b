#include "fota/NotesLength.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "flow/FirmwareOffer.h"
#include "services/WebApiData.h"

namespace {

const std::string kEllipsis = "\xe2\x80\xa6";

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(NotesLengthTest, HugeNotesAreShortenedForTheScreenAtALineOrCharacterBoundary) {
    // Ordinary notes pass as they are.
    EXPECT_EQ(fota::limitNotesForScreen("Better sound.\nLonger battery life."),
              "Better sound.\nLonger battery life.");

    // 900 KB in one line of two-byte characters: cut at a character boundary, never inside one.
    std::string wide;
    while (wide.size() < 900 * 1024) {
        wide += "\xc3\xa9";
    }
    const std::string shownWide = fota::limitNotesForScreen(wide);
    EXPECT_LE(shownWide.size(), fota::kMaxShownNotesBytes + kEllipsis.size() + 1);
    EXPECT_TRUE(endsWith(shownWide, " " + kEllipsis));
    EXPECT_EQ((shownWide.size() - kEllipsis.size() - 1) % 2, 0u);

    // Thousands of short lines: at most the line limit, ending at a line end.
    std::string lines;
    for (int i = 0; i < 20000; ++i) {
        lines += "- fix " + std::to_string(i) + "\n";
    }
    const std::string shownLines = fota::limitNotesForScreen(lines);
    EXPECT_LE(static_cast<std::size_t>(std::count(shownLines.begin(), shownLines.end(), '\n')),
              fota::kMaxShownNotesLines);
    EXPECT_TRUE(endsWith(shownLines, "\n" + kEllipsis))
        << shownLines.substr(shownLines.size() - 20);
}

TEST(NotesLengthTest, AnOfferShowsHugeNotesShortenedInEitherLanguage) {
    WEBAPI_FIRMWARE_VERSION answer;
    answer.notes = {{"ENG", std::string(900 * 1024, 'x')}};
    answer.notesKorean = std::string(900 * 1024, 'y');
    const FirmwareOffer english = FirmwareOffer::fromAnswer(answer, "en-US");
    EXPECT_LT(english.shownNotes.size(), 10000u);
    EXPECT_EQ(english.shownNotes.substr(0, 3), "xxx");
    const FirmwareOffer korean = FirmwareOffer::fromAnswer(answer, "ko-KR");
    EXPECT_LT(korean.shownNotes.size(), 10000u);
}
