// The font table by language, and text measured and drawn through Pango with the text flags.

#include <gtest/gtest.h>

#include <cairo.h>
#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/SDC.h"
#include "ui/SFontTable.h"
#include "ui/STextFitMonitor.h"
#include "ui/STextLayout.h"
#include "ui/TextFlags.h"

namespace ui_test {
namespace {

class TextTest : public ::testing::Test {
protected:
    void SetUp() override { SFontTable::Instance().SetLanguage("en-US"); }
    void TearDown() override { SFontTable::Instance().SetLanguage("en-US"); }
};

TEST_F(TextTest, FontIdsGiveSizesAndWeights) {
    SFontTable& table = SFontTable::Instance();
    EXPECT_EQ(table.Size(), 69u);
    const SFontEntry* base = table.Find(101);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->pixelHeight, 12);
    EXPECT_EQ(base->weight, 400);
    EXPECT_EQ(table.Find(102)->pixelHeight, 7);
    EXPECT_EQ(table.Find(103)->pixelHeight, 7);
    EXPECT_EQ(table.Find(103)->weight, 700);
    EXPECT_EQ(table.Find(115)->pixelHeight, 13);
    EXPECT_EQ(table.Find(115)->weight, 700);
    EXPECT_EQ(table.Find(168)->pixelHeight, 40);
    EXPECT_EQ(table.Find(169)->weight, 700);
    EXPECT_EQ(table.Find(100), nullptr);
    EXPECT_EQ(table.Find(170), nullptr);
    // An id already present keeps its first description.
    table.AddFont(101, 30, 700);
    EXPECT_EQ(table.Find(101)->pixelHeight, 12);
}

TEST_F(TextTest, HeightsGrowNinetyPercentAsFastAsTheZoom) {
    EXPECT_EQ(SFontTable::ScaledHeight(7, 1.5), 10);  // 7 x 1.45 = 10.15
    EXPECT_EQ(SFontTable::ScaledHeight(12, 1.0), 12);
    EXPECT_EQ(SFontTable::ScaledHeight(12, 2.0), 22);   // 12 x 1.9 = 22.8
    EXPECT_EQ(SFontTable::ScaledHeight(20, 1.25), 24);  // 20 x 1.225 = 24.5
    // The description is made for the zoom asked for, and remade when it changes.
    SFontTable& table = SFontTable::Instance();
    const PangoFontDescription* font = table.GetFont(103, 1.5);
    EXPECT_EQ(pango_font_description_get_size(font), 10 * PANGO_SCALE);
    EXPECT_TRUE(pango_font_description_get_size_is_absolute(font));
    EXPECT_EQ(pango_font_description_get_weight(font), PANGO_WEIGHT_BOLD);
    font = table.GetFont(103, 1.0);
    EXPECT_EQ(pango_font_description_get_size(font), 7 * PANGO_SCALE);
    // Without a zoom the entry's last one is used; an unknown id falls back to 101.
    EXPECT_EQ(pango_font_description_get_size(table.GetFont(103, 0)), 7 * PANGO_SCALE);
    EXPECT_EQ(pango_font_description_get_size(table.GetFont(999, 1.0)), 12 * PANGO_SCALE);
}

TEST_F(TextTest, LanguageChoosesFaceAndDirection) {
    SFontTable& table = SFontTable::Instance();
    const struct {
        const char* tag;
        const char* face;
        bool rightToLeft;
    } cases[] = {
        {"en-US", "Segoe UI", false},
        {"ko-KR", "Malgun Gothic", false},
        {"zh-HK", "SimSun", false},
        {"zh-TW", "SimSun", false},
        {"zh-CN", "SimSun", false},
        {"ja-JP", "Meiryo UI", false},
        {"he-IL", "Segoe UI", true},
        {"ar-AE", "Segoe UI", true},
        {"xx-ko-KR-yy", "Malgun Gothic", false},
        // Other regions of Arabic and Hebrew read those tables, so they mirror as well.
        {"ar-SA", "Segoe UI", true},
        {"he", "Segoe UI", true},
        {"hr-HR", "Segoe UI", false},
        {"es-AR", "Segoe UI", false},
    };
    for (const auto& c : cases) {
        table.SetLanguage(c.tag);
        EXPECT_EQ(table.GetFaceName(), c.face) << c.tag;
        EXPECT_EQ(table.IsRightToLeft(), c.rightToLeft) << c.tag;
        EXPECT_EQ(table.Find(120)->face, c.face) << c.tag;
    }
}

TEST_F(TextTest, MeasuringFollowsTheFlags) {
    const SSize word = SDC::MeasureText("Earbuds", 114, DT_SINGLELINE);
    const SSize longer = SDC::MeasureText("Earbuds connected", 114, DT_SINGLELINE);
    EXPECT_GT(word.width, 20);
    EXPECT_GT(longer.width, word.width);
    EXPECT_NEAR(word.height, longer.height, 0.01);
    // Single line turns breaks into spaces; without it every break starts a line.
    const SSize oneLine = SDC::MeasureText("left\nright", 114, DT_SINGLELINE);
    const SSize twoLines = SDC::MeasureText("left\nright", 114, 0);
    EXPECT_NEAR(oneLine.height, word.height, 0.01);
    EXPECT_NEAR(twoLines.height, 2 * word.height, 2);
    // Word break wraps at the given width.
    const std::string note = "The firmware update takes a few minutes; keep the case open.";
    const SSize wrapped = SDC::MeasureText(note, 114, DT_WORDBREAK, 120);
    EXPECT_LE(wrapped.width, 120);
    EXPECT_GE(wrapped.height, 3 * word.height - 2);
    // Text grows with the zoom (in logical units a little less than it).
    const SSize zoomed = SDC::MeasureText("Earbuds", 114, DT_SINGLELINE, 0, 2.0);
    EXPECT_LT(zoomed.width, word.width);
    EXPECT_GT(zoomed.width, word.width * 0.85);
    // '&' marks a mnemonic unless DT_NOPREFIX.
    EXPECT_LT(SDC::MeasureText("&Save", 114, DT_SINGLELINE).width,
              SDC::MeasureText("&Save", 114, DT_SINGLELINE | DT_NOPREFIX).width);
}

TEST_F(TextTest, EllipsisOnlyWhenTheTextDoesNotFit) {
    const unsigned label = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;  // 0x8024
    EXPECT_EQ(label, 0x8024u);
    const std::string text = "Left bud 80 %, right bud 75 %, case 40 %";
    const SSize natural = SDC::MeasureText(text, 114, DT_SINGLELINE);
    EXPECT_TRUE(SDC::IsTextEllipsized(text, 114, label, SSize(natural.width / 2, 20)));
    EXPECT_FALSE(SDC::IsTextEllipsized(text, 114, label, SSize(natural.width + 2, 20)));
    EXPECT_FALSE(SDC::IsTextEllipsized(text, 114, DT_SINGLELINE, SSize(10, 20)));
    // Wrapped text is cut on the last line that fits the box.
    const std::string note(400, 'x');
    const std::string words = "one two three four five six seven eight nine ten eleven twelve";
    EXPECT_TRUE(SDC::IsTextEllipsized(words, 112, DT_WORDBREAK | DT_END_ELLIPSIS, SSize(90, 34)));
    EXPECT_FALSE(SDC::IsTextEllipsized(words, 112, DT_WORDBREAK | DT_END_ELLIPSIS, SSize(90, 400)));
}

TEST_F(TextTest, ScriptsOfTheProductHaveGlyphs) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    const char* samples[] = {"이어버드를 연결하세요", "连接耳机", "イヤホンを接続",
                             "חבר את האוזניות", "قم بتوصيل سماعات الأذن"};
    for (const char* sample : samples) {
        const STextLayout layout(cr, sample, DT_SINGLELINE,
                                 SFontTable::Instance().GetFont(114, 1.0), 400, 30, false);
        EXPECT_EQ(layout.UnknownGlyphs(), 0) << sample;
    }
    SFontTable::Instance().SetLanguage("ko-KR");
    const STextLayout korean(cr, samples[0], DT_SINGLELINE,
                             SFontTable::Instance().GetFont(114, 1.0), 400, 30, false);
    EXPECT_EQ(korean.UnknownGlyphs(), 0);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

// Korean wraps at the spaces between words: at every width that holds the longest word, each
// line but the last ends at a space and the words come out whole; a word longer than the line
// is broken rather than drawn past the box.
// In a window that reads right to left a size and a pair's name keep their own order, alone
// and inside an Arabic sentence, where the size reads "KB 98" unless it is held together.
TEST_F(TextTest, MirroredTextKeepsSizesAndNamesInTheirReadingOrder) {
    SFontTable::Instance().SetLanguage("ar-AE");
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    const PangoFontDescription* font = SFontTable::Instance().GetFont(112, 1.0);
    constexpr unsigned kLine = DT_SINGLELINE | DT_VCENTER;
    constexpr double kBox = 300;

    const STextLayout size(cr, "98 KB", kLine, font, kBox, 20, true);
    EXPECT_LT(size.CharacterLeft(0), size.CharacterLeft(3));
    EXPECT_NEAR(size.InkInBox().right, kBox, 2);  // aligned to the reading side
    const std::string name = "Auralis2 (Blue)";
    const STextLayout named(cr, name, kLine, font, kBox, 20, true);
    EXPECT_GT(named.CharacterLeft(name.size() - 1), named.CharacterLeft(name.size() - 2));
    EXPECT_GT(named.CharacterLeft(name.size() - 1), named.CharacterLeft(0));

    const std::string caption = "\u0627\u0644\u062D\u062C\u0645: ";  // "Size: "
    const STextLayout bare(cr, caption + "98 KB", kLine, font, kBox, 20, true);
    EXPECT_GT(bare.CharacterLeft(caption.size()), bare.CharacterLeft(caption.size() + 3));
    const std::string kept = STextLayout::KeepLeftToRight("98 KB");
    const STextLayout marked(cr, caption + kept, kLine, font, kBox, 20, true);
    const double nine = marked.CharacterLeft(caption.size() + kept.find('9'));
    const double kilo = marked.CharacterLeft(caption.size() + kept.find('K'));
    EXPECT_LT(nine, kilo);
    EXPECT_LT(kilo, marked.CharacterLeft(0));  // the caption reads first, from the right
    EXPECT_EQ(marked.UnknownGlyphs(), 0);
    // A date written with Arabic month names reads right to left like its sentence.
    const std::string date = "\u062F\u064A\u0633 08, 2026";
    EXPECT_EQ(STextLayout::KeepLeftToRight(date), date);

    SFontTable::Instance().SetLanguage("en-US");
    EXPECT_EQ(STextLayout::KeepLeftToRight("98 KB"), "98 KB");
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

TEST_F(TextTest, KoreanWrapsBetweenWordsNotInsideThem) {
    SFontTable::Instance().SetLanguage("ko-KR");
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    const PangoFontDescription* font = SFontTable::Instance().GetFont(112, 1.0);
    const std::string text =
        "새 버전의 Auralis Manager을(를) 사용할 수 있습니다. 지금 업데이트하시겠습니까? "
        "이어버드를 충전 케이스에서 꺼내 컴퓨터 가까이에 두고 다시 시도하세요.";
    const std::string longest = "업데이트하시겠습니까?";
    const STextLayout word(cr, longest, DT_SINGLELINE, font, 0, 0, false);
    const STextLayout whole(cr, text, DT_SINGLELINE, font, 0, 0, false);
    int wrapped = 0;
    for (double width = std::ceil(word.Width()) + 1; width < whole.Width(); width += 5) {
        const STextLayout layout(cr, text, DT_WORDBREAK, font, width, 0, false);
        const std::vector<std::string> lines = layout.Lines();
        std::string joined;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            joined += lines[i];
            if (i + 1 < lines.size()) {
                EXPECT_EQ(lines[i].back(), ' ')
                    << "width " << width << ", line \"" << lines[i] << "\" ends inside a word";
            }
        }
        EXPECT_EQ(joined, text);
        wrapped += lines.size() > 2 ? 1 : 0;
    }
    EXPECT_GT(wrapped, 0);

    const double narrow = std::floor(word.Width() * 0.6);
    const STextLayout cut(cr, longest + " 지금", DT_WORDBREAK, font, narrow, 0, false);
    EXPECT_GE(cut.Lines().size(), 3u);
    EXPECT_LE(cut.InkInBox().right, narrow + 1);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

// The ink of drawn text: the smallest box holding every non-white pixel.
struct Ink {
    int left = 1 << 30;
    int top = 1 << 30;
    int right = -1;
    int bottom = -1;
    bool Empty() const { return right < 0; }
};

Ink InkOf(cairo_surface_t* surface) {
    Ink ink;
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((SurfacePixel(surface, x, y) & 0xFFFFFFu) != 0xFFFFFFu) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
    }
    return ink;
}

class DrawnText : public ::testing::Test {
protected:
    void SetUp() override {
        SFontTable::Instance().SetLanguage("en-US");
        dc.scale = 1.0;
        ASSERT_EQ(dc.Init(SRect(0, 0, 200, 60), 0), 1);
        dc.visibleArea = SRect(0, 0, 200, 60);
    }
    Ink Draw(const std::string& text, const SRect& box, unsigned format, int mirrored = 0) {
        dc.mirrored = mirrored;
        dc.Clear(0x00FFFFFFu);
        dc.DrawText(text, box, format, 114, 0x00000000u);
        return InkOf(dc.GetSurface());
    }
    SDC dc;
};

TEST_F(DrawnText, AlignmentPlacesTheInk) {
    const SRect box(20, 10, 180, 50);
    const Ink left = Draw("Status", box, DT_SINGLELINE | DT_VCENTER);
    const Ink centre = Draw("Status", box, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    const Ink right = Draw("Status", box, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    const Ink bottom = Draw("Status", box, DT_SINGLELINE | DT_BOTTOM);
    ASSERT_FALSE(left.Empty());
    EXPECT_NEAR(left.left, 20, 2);
    EXPECT_NEAR(right.right, 179, 2);
    EXPECT_NEAR((centre.left + centre.right) / 2.0, 100, 2);
    EXPECT_NEAR((left.top + left.bottom) / 2.0, 30, 3);
    EXPECT_NEAR(bottom.bottom, 49, 4);
    // A mirrored context swaps left and right.
    const Ink mirrored = Draw("Status", box, DT_SINGLELINE | DT_VCENTER, 1);
    EXPECT_NEAR(mirrored.right, 179, 2);
}

TEST_F(DrawnText, TextStaysInsideItsBoxUnlessNoClip) {
    const SRect box(20, 10, 60, 30);
    const std::string text = "A sentence much wider than its small box";
    const Ink clipped = Draw(text, box, DT_SINGLELINE | DT_VCENTER);
    EXPECT_GE(clipped.left, 20);
    EXPECT_LE(clipped.right, 59);
    const Ink free = Draw(text, box, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
    EXPECT_GT(free.right, 100);
    const Ink ellipsized = Draw(text, box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    EXPECT_LE(ellipsized.right, 59);
    // Nothing for an empty box, and DT_CALCRECT only measures.
    EXPECT_TRUE(Draw(text, SRect(20, 10, 20, 30), DT_SINGLELINE).Empty());
    EXPECT_TRUE(Draw(text, box, DT_SINGLELINE | DT_CALCRECT).Empty());
}

TEST_F(DrawnText, FitMonitorTellsWhichTextsWereCutShort) {
    std::vector<STextFitProblem> problems;
    STextFitMonitor::SetListener(
        [&problems](const STextFitProblem& problem) { problems.push_back(problem); });
    const SRect box(20, 10, 60, 30);
    const std::string text = "A sentence much wider than its small box";
    Draw("Fits", SRect(20, 10, 180, 50), DT_SINGLELINE | DT_VCENTER);
    Draw("Fits once wrapped into lines", SRect(20, 0, 180, 60), DT_WORDBREAK);
    EXPECT_TRUE(problems.empty());
    Draw(text, box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    Draw(text, box, DT_SINGLELINE | DT_VCENTER);
    Draw(text, box, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
    Draw(text, SRect(20, 10, 80, 24), DT_WORDBREAK);  // more lines than the box holds
    STextFitMonitor::SetListener({});
    Draw(text, box, DT_SINGLELINE);  // no listener: nothing is checked
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].what, "ellipsized");
    EXPECT_EQ(problems[1].what, "cut");
    EXPECT_EQ(problems[2].what, "overflows its box");
    EXPECT_EQ(problems[3].what, "cut");
    EXPECT_EQ(problems[0].text, text);
    EXPECT_EQ(problems[0].widget, "(no widget)");
    EXPECT_GT(problems[2].ink.right, problems[2].box.right);
}

TEST_F(DrawnText, SameTextGivesTheSamePixels) {
    const SRect box(5, 5, 195, 55);
    Draw("Firmware 1.2.3 — 이어버드", box, DT_WORDBREAK);
    cairo_surface_t* first = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 60);
    cairo_t* cr = cairo_create(first);
    cairo_set_source_surface(cr, dc.GetSurface(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    Draw("Firmware 1.2.3 — 이어버드", box, DT_WORDBREAK);
    int differences = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 200; ++x) {
            differences += SurfacePixel(first, x, y) != SurfacePixel(dc.GetSurface(), x, y);
        }
    }
    EXPECT_EQ(differences, 0);
    cairo_surface_destroy(first);
}

}  // namespace
}  // namespace ui_test
