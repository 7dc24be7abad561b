// The failure screen (both failure kinds, line breaks written as backslash + n, the OK button)
// and the connecting screen (its pulse runs only while it is visible and alternates the two
// pictures).

#include <string>

#include "app/SConnectingView.h"
#include "app/SDeviceFailView.h"
#include "services/SLocale.h"
#include "tests/app/ScreenTestSupport.h"

namespace app_test {
namespace {

TEST(FailTextTest, BackslashNBecomesALineBreakAndNothingElseChanges) {
    EXPECT_EQ(SDeviceFailView::ExpandLineBreaks("one\\ntwo"), "one\ntwo");
    EXPECT_EQ(SDeviceFailView::ExpandLineBreaks("a\\n\\nb\\n"), "a\n\nb\n");
    // A lone backslash, one before another letter, and one at the very end stay.
    EXPECT_EQ(SDeviceFailView::ExpandLineBreaks("C:\\temp\\"), "C:\\temp\\");
    // The first backslash of a doubled one stays; the second pairs with the n.
    EXPECT_EQ(SDeviceFailView::ExpandLineBreaks("x\\\\ny"), "x\\\ny");
    EXPECT_EQ(SDeviceFailView::ExpandLineBreaks(""), "");
    EXPECT_EQ(SDeviceFailView::ExpandLineBreaks("\n"), "\n");
}

class FailViewTest : public ScreenTest {
protected:
    FailViewTest() {
        CreateFrame(408, 459);
        fail.Create("_failView", &frame.root, SMargin(0, 0, 0, 0), SSize());
        fail.SetMainViewDelegate(&controller);
        fail.SetVisible(1);
        Advance(400);
    }
    SDeviceFailView fail;
    RecordingMainView controller;
};

TEST_F(FailViewTest, EachFailureKindHasItsOwnTextAndTheTextStaysUntilTheNext) {
    EXPECT_EQ(fail.GetFailLabel().GetText(), "");
    EXPECT_EQ(fail.GetTitleLabel().GetText(), AfxGetStrRes("MNU_AuralisManager"));

    fail.SetFailKind(2);
    EXPECT_EQ(fail.GetFailLabel().GetText(), AfxGetStrRes("MSG_ConnectingOneSide_1"));
    const double oneSideHeight = fail.GetFailLabel().GetSize().height;
    EXPECT_GT(oneSideHeight, 0);

    fail.SetFailKind(3);
    EXPECT_EQ(fail.GetFailLabel().GetText(), AfxGetStrRes("MSG_Kestrane_ConnectingFail2"));
    // The label was measured again for the longer text, and the hint moved below it.
    const SRect first = fail.GetFailLabel().GetRect(SWindowBase::kRectInParent, 0);
    const SRect hint = fail.GetGuideLabel().GetRect(SWindowBase::kRectInParent, 0);
    EXPECT_GE(first.Height(), oneSideHeight);
    EXPECT_GE(hint.top, first.bottom);

    fail.SetFailKind(7);
    EXPECT_EQ(fail.GetFailLabel().GetText(), "");
    EXPECT_EQ(fail.GetFailLabel().GetSize().height, 0);
}

TEST_F(FailViewTest, TheRecoveryHintWithBackslashNIsShownOnTwoLines) {
    const std::string raw = AfxGetStrRes("MSG_ConnectingFail2");
    ASSERT_NE(raw.find("\\n"), std::string::npos);
    const std::string shown = fail.GetGuideLabel().GetText();
    EXPECT_EQ(shown.find('\\'), std::string::npos);
    ASSERT_NE(shown.find('\n'), std::string::npos);
    // Laid out as at least two lines: taller than either part alone.
    const std::string firstLine = shown.substr(0, shown.find('\n'));
    SLabel probe(firstLine);
    probe.SetFont(fail.GetGuideLabel().GetFont());
    probe.SetFormat(fail.GetGuideLabel().GetFormat());
    const double width = fail.GetGuideLabel().GetRect(SWindowBase::kRectOwnLogical, 0).Width();
    EXPECT_GT(fail.GetGuideLabel().GetSize().height, probe.MeasureText(width).height);
    // Both description labels carry the same name.
    EXPECT_EQ(fail.GetGuideLabel().GetName(), fail.GetFailLabel().GetName());
    EXPECT_EQ(fail.GetPanel().GetName(), "FailView View");
}

TEST_F(FailViewTest, OkReturnsToTheWelcomeScreen) {
    EXPECT_EQ(fail.GetOkButton().GetName(), "SCommonButton _btnConnect");
    EXPECT_EQ(fail.GetOkButton().GetText(), AfxGetStrRes("MNU_Zephiro_OK"));
    ClickOn(fail.GetOkButton());
    EXPECT_EQ(controller.views, (std::vector<int>{0}));
    // Without a controller a click does nothing.
    fail.SetMainViewDelegate(nullptr);
    ClickOn(fail.GetOkButton());
    EXPECT_EQ(controller.views.size(), 1u);
}

class ConnectingViewTest : public ScreenTest {
protected:
    ConnectingViewTest() {
        CreateFrame(408, 459);
        holder.Create("Holder", &frame.root, SMargin(0, 0, 0, 0), SSize());
        connecting.Create("_connectingView", &holder, SMargin(0, 0, 0, 0), SSize(), 0);
        // The first picture's delayed show.
        Advance(200);
    }
    SPanel holder;
    SConnectingView connecting;
};

TEST_F(ConnectingViewTest, ThePulseRunsOnlyWhileTheScreenIsVisible) {
    EXPECT_EQ(connecting.IsPulseRunning(), 0);
    Advance(4100);
    EXPECT_EQ(connecting.GetShownImage(), 0);

    connecting.SetVisible(1);
    EXPECT_EQ(connecting.IsPulseRunning(), 1);
    Advance(2000);
    EXPECT_EQ(connecting.GetShownImage(), 1);
    Advance(1100);
    EXPECT_EQ(connecting.GetOpenImage().GetOwnVisible(), 1);
    Advance(900);
    EXPECT_EQ(connecting.GetShownImage(), 0);

    // Hiding the screen, or a screen around it, stops the pulse; showing it starts it again.
    connecting.SetVisible(0);
    EXPECT_EQ(connecting.IsPulseRunning(), 0);
    Advance(4100);
    EXPECT_EQ(connecting.GetShownImage(), 0);
    connecting.SetVisible(1);
    holder.SetVisible(0);
    EXPECT_EQ(connecting.IsPulseRunning(), 0);
    holder.SetVisible(1);
    EXPECT_EQ(connecting.IsPulseRunning(), 1);
    Advance(2000);
    EXPECT_EQ(connecting.GetShownImage(), 1);
}

TEST_F(ConnectingViewTest, TwoStackedPicturesOfTheEarbudsAlternate) {
    EXPECT_EQ(connecting.GetDescriptionLabel().GetName(), "Des label");
    EXPECT_EQ(connecting.GetDescriptionLabel().GetText(),
              AfxGetStrRes("MSG_Kestrane_ConnectingToEabuds"));
    SAnimationImageView& closed = connecting.GetCloseImage();
    SAnimationImageView& open = connecting.GetOpenImage();
    EXPECT_EQ(closed.GetName(), "Close image");
    EXPECT_EQ(open.GetName(), "Open image");
    ASSERT_NE(closed.GetImage(), nullptr);
    EXPECT_EQ(open.GetImage(), closed.GetImage());
    EXPECT_EQ(open.GetDuration(), 1000u);
    EXPECT_EQ(closed.GetRect(SWindowBase::kRectInParent, 0),
              open.GetRect(SWindowBase::kRectInParent, 0));
    EXPECT_EQ(open.GetOwnVisible(), 0);
    EXPECT_EQ(closed.GetOwnVisible(), 1);

    connecting.SetVisible(1);
    Advance(2000);
    // The hidden picture fades out at once; the other waits its second and fades in.
    Advance(500);
    EXPECT_EQ(open.GetOwnVisible(), 0);
    EXPECT_EQ(closed.GetOwnVisible(), 0);
    Advance(1000);
    EXPECT_EQ(open.GetOwnVisible(), 1);
    EXPECT_EQ(closed.GetOwnVisible(), 0);
    // The next tick swaps them back; the open picture fades out over its second.
    Advance(1800);
    EXPECT_EQ(open.GetOwnVisible(), 0);
    EXPECT_EQ(closed.GetOwnVisible(), 1);
}

}  // namespace
}  // namespace app_test
