// The update dialogs' cards: the English layout keeps its fixed size at every zoom, and a card
// grows to hold a larger content, but never past the screen's work area.

#include <gtest/gtest.h>

#include "app/SLastestVersionDlg.h"
#include "app/SNeedUpdateDlg.h"
#include "tests/app/AppTestSupport.h"
#include "ui/SDispatcher.h"
#include "ui/SPopupDialog.h"

namespace {

class DialogCardTest : public app_test::MainFrameTest {
protected:
    ~DialogCardTest() override { SDispatcher::SetZoomFactor(1.0); }
};

TEST_F(DialogCardTest, EnglishCardsKeepTheirSizeAtEveryZoom) {
    for (double zoom : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(zoom);
        SDispatcher::SetZoomFactor(zoom);
        const SSize latest = SLastestVersionDlg().CardSize();
        EXPECT_EQ(latest.width, SLastestVersionDlg::kWidth);
        EXPECT_EQ(latest.height, SLastestVersionDlg::kHeight);
        const SSize question = SNeedUpdateDlg().CardSize();
        EXPECT_EQ(question.width, SNeedUpdateDlg::kWidth);
        EXPECT_EQ(question.height, SNeedUpdateDlg::kHeight);
    }
}

TEST_F(DialogCardTest, ACardGrowsToHoldItsContentWithinTheWorkArea) {
    const SSize minimum(300, 150);
    // Content area of 300 x 60 with a button row: the title row, the row and the bottom margin
    // make it exactly the minimum's height.
    const double chrome = SDialogTitleBar::kHeight +
                          (SDialogFrame::kContentBottom - SDialogFrame::kShadow) +
                          SPopupDialog::kButtonRowHeight;
    SSize card = SPopupDialog::CardToHold(minimum, SSize(100, 150 - chrome), 0);
    EXPECT_EQ(card.width, 300);
    EXPECT_EQ(card.height, 150);
    card = SPopupDialog::CardToHold(minimum, SSize(420.2, 200), 0);
    EXPECT_EQ(card.width, 421);
    EXPECT_EQ(card.height, 200 + chrome);
    card = SPopupDialog::CardToHold(minimum, SSize(420, 200), SPopupDialog::kNoButtons);
    EXPECT_EQ(card.height, 200 + chrome - SPopupDialog::kButtonRowHeight);

    // An 800 x 600 screen at zoom 2 holds a card of 400 x 300 units less the shadow.
    backend.setDisplayBounds({0, 0, 800, 600});
    SDispatcher::SetZoomFactor(2.0);
    card = SPopupDialog::CardToHold(minimum, SSize(1000, 1000), 0);
    EXPECT_EQ(card.width, 400 - 2 * SDialogFrame::kShadow);
    EXPECT_EQ(card.height, 300 - 2 * SDialogFrame::kShadow);
}

}  // namespace
