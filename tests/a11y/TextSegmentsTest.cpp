#include <gtest/gtest.h>

#include "a11y/TextSegments.h"

using a11y::TextSegment;
using a11y::TextSegments;
using Unit = a11y::TextSegments::Unit;

// Offsets count characters, not bytes: a reader moving through "Linker Ohrhörer" must not land
// inside the two bytes of "ö" or read past the end.
TEST(TextSegments, OffsetsCountCharactersOfUtf8) {
    const TextSegments text("Ohrhörer, 64 %");
    EXPECT_EQ(text.CharacterCount(), 14);
    EXPECT_EQ(text.CharacterAt(4), 0xF6);
    EXPECT_EQ(text.Slice(4, 5), "ö");
    EXPECT_EQ(text.Slice(0, -1), "Ohrhörer, 64 %");
    EXPECT_EQ(text.Slice(-3, 1000), "Ohrhörer, 64 %");
    EXPECT_EQ(text.Slice(9, 3), "");
    EXPECT_EQ(text.CharacterAt(14), 0);
    EXPECT_EQ(text.CharacterAt(-1), 0);
    EXPECT_EQ(TextSegments("").CharacterCount(), 0);
}

TEST(TextSegments, WordsCarryTheirTrailingSpaces) {
    const TextSegments text("Left earbud, 64 %");
    EXPECT_EQ(text.At(2, Unit::Word), (TextSegment{"Left ", 0, 5}));
    EXPECT_EQ(text.At(5, Unit::Word), (TextSegment{"earbud, ", 5, 13}));
    EXPECT_EQ(text.After(0, Unit::Word), (TextSegment{"earbud, ", 5, 13}));
    EXPECT_EQ(text.Before(6, Unit::Word), (TextSegment{"Left ", 0, 5}));
    EXPECT_EQ(text.At(16, Unit::Word), (TextSegment{"%", 16, 17}));
    EXPECT_EQ(text.Before(1, Unit::Word), (TextSegment{"", 0, 0}));
    EXPECT_EQ(text.After(16, Unit::Word), (TextSegment{"", 17, 17}));
}

TEST(TextSegments, LinesAndSentences) {
    const TextSegments text("First line.\nSecond one! Third.\nEnd");
    EXPECT_EQ(text.At(3, Unit::Line), (TextSegment{"First line.\n", 0, 12}));
    EXPECT_EQ(text.At(12, Unit::Line), (TextSegment{"Second one! Third.\n", 12, 31}));
    EXPECT_EQ(text.After(3, Unit::Line), (TextSegment{"Second one! Third.\n", 12, 31}));
    EXPECT_EQ(text.At(33, Unit::Line), (TextSegment{"End", 31, 34}));
    EXPECT_EQ(text.At(14, Unit::Sentence), (TextSegment{"Second one! ", 12, 24}));
    EXPECT_EQ(text.At(25, Unit::Sentence), (TextSegment{"Third.\n", 24, 31}));
    EXPECT_EQ(text.At(34, Unit::Line), (TextSegment{"", 34, 34}));
    EXPECT_EQ(text.At(-2, Unit::Character), (TextSegment{"", 0, 0}));
}
