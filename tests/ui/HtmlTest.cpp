// The HTML dialog: a page's text without its markup, paragraphs kept, in a scrolling view, and
// the button that opens the page in the browser.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/CHtmlDlg.h"
#include "ui/SHtmlText.h"

namespace fs = std::filesystem;

namespace ui_test {
namespace {

TEST(HtmlText, KeepsTheTextAndItsParagraphsAndNothingElse) {
    const std::string page =
        "<!DOCTYPE html><html><head><title>Notices</title><style>p { color: red }</style>"
        "</head><body><h1>Open source</h1><!-- a <p>comment</p> -->"
        "<p>This  product &amp; its <b>parts</b>\n   use&nbsp;code.</p>"
        "<SCRIPT type='text/javascript'>document.write('<p>no</p>')</SCRIPT>"
        "<ul><li>one</li><li>two &#233;&#x20AC; &copy;</li></ul>text<br/>after"
        "<p>R&amp;D &unknown; & x</p></body></html>";
    EXPECT_EQ(SHtmlText::ToParagraphs(page),
              (std::vector<std::string>{"Open source", "This product & its parts use code.", "one",
                                        "two \xC3\xA9\xE2\x82\xAC \xC2\xA9", "text", "after",
                                        "R&D &unknown; & x"}));
}

TEST(HtmlText, HeadingsAreMarked) {
    const auto blocks = SHtmlText::ToBlocks("<h2>Title</h2><p>Body</p><H1>Big</H1>tail");
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_TRUE(blocks[0].heading);
    EXPECT_FALSE(blocks[1].heading);
    EXPECT_TRUE(blocks[2].heading);
    EXPECT_FALSE(blocks[3].heading);
}

TEST(HtmlText, BrokenMarkupEndsCleanly) {
    EXPECT_EQ(SHtmlText::ToParagraphs("plain <p>cut <b"),
              (std::vector<std::string>{"plain", "cut"}));
    EXPECT_EQ(SHtmlText::ToParagraphs("<script>never closed"), std::vector<std::string>{});
    EXPECT_EQ(SHtmlText::ToParagraphs(""), std::vector<std::string>{});
    EXPECT_EQ(SHtmlText::DecodeEntity("#0"), "\xEF\xBF\xBD");  // no NUL in the text
    EXPECT_EQ(SHtmlText::DecodeEntity("#x110000"), "\xEF\xBF\xBD");
    EXPECT_EQ(SHtmlText::DecodeEntity("#99999999999"), "");
    EXPECT_EQ(SHtmlText::DecodeEntity("#12a"), "");
}

class HtmlDialogTest : public UiTest {};

TEST_F(HtmlDialogTest, ShowsTheFileAndOpensItInTheBrowser) {
    const fs::path folder = testing_support::makeTempFolder("html");
    const fs::path page = folder / "notices.html";
    {
        std::ofstream out(page);
        out << "<html><body><h2>Licences</h2>";
        for (int i = 0; i < 60; ++i) {
            out << "<p>Component " << i << " is used under its licence, whose text follows in full "
                << "so that every user can read it.</p>";
        }
        out << "</body></html>";
    }
    const fs::path opener = folder / "opener";
    const fs::path opened = folder / "opened";
    {
        std::ofstream script(opener);
        script << "#!/bin/sh\nprintf '%s' \"$1\" > " << opened.string() << "\n";
    }
    fs::permissions(opener, fs::perms::owner_all);
    testing_support::ScopedEnv env("AURALIS_OPEN_URL", opener.string());

    CreateFrame(800, 600);
    CHtmlDlg dialog(page.string());
    ASSERT_EQ(dialog.CreateWnd(&frame, "License information", SSize(680, 410)), 1);
    dialog.ShowDialog();
    Pump();
    ASSERT_EQ(dialog.GetView().GetParagraphs().size(), 61u);
    EXPECT_EQ(dialog.GetView().GetParagraphs()[0], "Licences");
    // Much more text than the view shows: it scrolls.
    EXPECT_GT(dialog.GetView().GetContentExtent().height, 1500);
    ASSERT_NE(dialog.GetView().GetVerticalBar(), nullptr);
    EXPECT_EQ(dialog.GetView().GetVerticalBar()->GetOwnVisible(), 1);
    dialog.GetView().ScrollTo(-1, 100000);
    EXPECT_GT(dialog.GetView().GetScrollOffset().y, 1000);

    // The open button; the opening zoom does not take input, so it is clicked directly.
    auto* button =
        dynamic_cast<SButton*>(dialog.GetContentArea().FindChild("Open In Browser Button"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(dynamic_cast<SCommonButton*>(button)->GetText(), "Open in browser");
    dialog.ButtonClicked(button);
    testing_support::eventually([&] { return fs::exists(opened) && fs::file_size(opened) > 0; },
                                std::chrono::seconds(5));
    std::ifstream in(opened);
    const std::string url(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(url, "file://" + page.string());
    dialog.CloseDialog(0);
}

TEST_F(HtmlDialogTest, AMissingFileShowsItsPathAndIsLogged) {
    CreateFrame(800, 600);
    CHtmlDlg dialog("/nonexistent/OpenSourceAnnouncement.html");
    ASSERT_EQ(dialog.CreateWnd(&frame, "License information", SSize(680, 410)), 1);
    EXPECT_EQ(dialog.GetView().GetParagraphs(),
              (std::vector<std::string>{"/nonexistent/OpenSourceAnnouncement.html"}));
    EXPECT_EQ(CountInLog("cannot read /nonexistent/OpenSourceAnnouncement.html"), 1);
    dialog.CloseDialog(0);
}

}  // namespace
}  // namespace ui_test
