// The standard widgets that are not buttons at heart: the loading animation's frames, the
// progress bar, the pill button's painting, labels that size themselves, the hyperlink that
// opens its target, and the scroll bar's clamping and reports.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/TickCount.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/IScrollBarDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SCommonProgressBar.h"
#include "ui/SDispatcher.h"
#include "ui/SHyperlinkButton.h"
#include "ui/SImage.h"
#include "ui/SLabel.h"
#include "ui/SLoadingAnimationControl.h"
#include "ui/SScrollBar.h"
#include "ui/SStaticImage.h"

namespace fs = std::filesystem;

namespace ui_test {
namespace {

class WidgetTest : public UiTest {};

TEST_F(WidgetTest, LoadingControlShowsTheFrameOfItsProgress) {
    platform::ManualTickSource clock;
    app->GetDispatcher().running = 1;
    app->GetDispatcher().SetLastFrameTick(clock.now());
    CreateFrame(200, 100);
    SLoadingAnimationControl loading(2);
    loading.Create("Loading", &frame.root, SMargin(0, 0, 0, 0), SSize());
    ASSERT_EQ(loading.GetFrameCount(), 60);
    for (int i = 0; i < loading.GetFrameCount(); ++i) {
        loading.ShowFrame(i);
        ASSERT_NE(loading.GetCurrentFrame(), nullptr) << "frame " << i + 1 << " is missing";
    }
    loading.OnAnimate(130490, 0.5, 0.5);
    EXPECT_EQ(loading.GetFrameIndex(), 29);
    loading.OnAnimate(130490, 1.0, 1.0);
    EXPECT_EQ(loading.GetFrameIndex(), 59);  // never the count itself
    loading.OnAnimate(7001, 0.9, 0.9);       // another key: not this sequence's
    EXPECT_EQ(loading.GetFrameIndex(), 59);

    // Visible, it loops on the clock; hidden, it stops.
    ASSERT_NE(loading.FindAnimation(130490), nullptr);
    EXPECT_EQ(loading.FindAnimation(130490)->count, -1);
    for (int i = 0; i < 100; ++i) {  // 3000 ms: one and a half periods
        clock.advance(30);
        Pump();
    }
    EXPECT_GE(loading.GetFrameIndex(), 28);
    EXPECT_LE(loading.GetFrameIndex(), 30);
    loading.SetVisible(0);
    EXPECT_EQ(loading.IsAnimating(), 0);
    app->GetDispatcher().running = 0;
    loading.Destroy();
}

TEST(LoadingSequences, TypesChooseFramesKeysAndPeriods) {
    const auto sync = SLoadingAnimationControl::FramePaths(1);
    ASSERT_EQ(sync.size(), 12u);
    EXPECT_EQ(sync[0], "\\res\\Home\\_sync_ani\\home_sync_ani_01.png");
    EXPECT_EQ(sync[5], "\\res\\Home\\_sync_ani\\home_sync_ani_06.png");
    EXPECT_EQ(sync[6], "\\res\\Home\\_sync_ani\\home_sync_ani_06.png");
    EXPECT_EQ(sync[11], "\\res\\Home\\_sync_ani\\home_sync_ani_01.png");
    EXPECT_EQ(
        SLoadingAnimationControl::FramePaths(3)[49],
        "\\res\\Animation\\interval_loading_progressbar_light\\interval_loading_light_50.png");
    EXPECT_EQ(SLoadingAnimationControl::FramePaths(4)[9],
              "\\res\\Animation\\SW_Update_loading_progress_bar_30fps\\"
              "sw_update_loading_progress_bar_10.png");
    const struct {
        int type, count, key;
        uint32_t period;
    } expected[] = {
        {1, 12, 7001, 2000}, {2, 60, 130490, 2000}, {3, 50, 130492, 1600}, {4, 50, 130491, 1660}};
    for (const auto& e : expected) {
        const auto sequence = SLoadingAnimationControl::SequenceFor(e.type);
        EXPECT_EQ(sequence.count, e.count);
        EXPECT_EQ(sequence.key, e.key);
        EXPECT_EQ(sequence.period, e.period);
        EXPECT_EQ(SLoadingAnimationControl::FramePaths(e.type).size(),
                  static_cast<std::size_t>(e.count));
    }
}

uint8_t RedOf(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 16);
}
uint8_t BlueOf(uint32_t argb) {
    return static_cast<uint8_t>(argb);
}

TEST_F(WidgetTest, ProgressBarFillsItsFractionAndClampsItsValue) {
    CreateFrame(220, 40);
    SCommonProgressBar bar;
    bar.Create("Bar", &frame.root, SMargin(10, 10, -1, -1), SSize(200, 10));
    bar.SetPos(50);
    Pump();
    // Orange fill up to the middle, the grey track after it.
    EXPECT_EQ(RedOf(PresentedPixel(60, 15)), 0xF5);
    EXPECT_EQ(BlueOf(PresentedPixel(60, 15)), 0x1F);
    EXPECT_EQ(PresentedPixel(160, 15), 0xFFE5E5E5u);

    bar.SetPos(150);
    EXPECT_EQ(bar.GetPos(), 100);
    bar.SetPos(-5);
    EXPECT_EQ(bar.GetPos(), 0);
    bar.SetRange(10, 20);
    EXPECT_EQ(bar.GetPos(), 10);
    bar.SetPos(15);
    EXPECT_DOUBLE_EQ(bar.GetFraction(), 0.5);
    bar.SetRange(5, 5);  // an empty range fills nothing rather than dividing by zero
    EXPECT_DOUBLE_EQ(bar.GetFraction(), 0.0);
    bar.Destroy();
}

TEST_F(WidgetTest, ProgressBarStylesWithLoadingPlayItWhileAtTheMinimum) {
    CreateFrame(220, 40);
    SCommonProgressBar plain;
    plain.Create("Plain", &frame.root, SMargin(10, 2, -1, -1), SSize(200, 10));
    EXPECT_EQ(plain.GetLoadingControl(), nullptr);
    SCommonProgressBar bar;
    bar.SetStyle(5);
    bar.Create("Bar", &frame.root, SMargin(10, 20, -1, -1), SSize(200, 10));
    SLoadingAnimationControl* loading = bar.GetLoadingControl();
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(bar.FindChild("Loading Progress Bar"), loading);
    EXPECT_EQ(loading->GetType(), 3);
    EXPECT_EQ(loading->GetFrameCount(), 50);
    EXPECT_EQ(loading->GetOwnVisible(), 1);
    EXPECT_EQ(loading->IsAnimating(), 1);
    bar.SetPos(1);
    EXPECT_EQ(loading->GetOwnVisible(), 0);
    EXPECT_EQ(loading->IsAnimating(), 0);
    bar.Destroy();
    plain.Destroy();
}

TEST_F(WidgetTest, PillButtonPaintsItsStatesAndSizesToItsCaption) {
    CreateFrame(200, 60);
    SCommonButton button;
    button.SetText("OK");
    button.Create("Button", &frame.root, SMargin(10, 10, -1, -1), SSize(124, 32));
    Pump();
    EXPECT_EQ(PresentedPixel(30, 26), 0xFFFFFFFFu);  // white face
    EXPECT_EQ(PresentedPixel(72, 10), 0xFF000000u);  // black outline, top edge
    backend.injectMouseMove(WindowId(), 30, 26);
    Pump();
    EXPECT_EQ(PresentedPixel(30, 26), 0xFFE5E5E5u);  // hovered face
    button.SetEnabled(0);
    Pump();
    EXPECT_EQ(PresentedPixel(72, 10), 0xFFE5E5E5u);  // disabled outline

    // White captions are drawn on a filled face, or they could not be read.
    button.SetEnabled(1);
    button.SetStyle(3);
    backend.injectMouseMove(WindowId(), 190, 55);
    Pump();
    EXPECT_EQ(PresentedPixel(30, 26), 0xFF1F6FD6u);
    EXPECT_EQ(button.CaptionColor(SButton::kStateNormal), 0xFFFFFFu);

    button.SetStyle(12);
    EXPECT_EQ(button.CaptionFont(), 118);
    button.SetAutoSize(1);
    const double shortWidth = button.GetSize().width;
    button.SetText("A much longer caption");
    EXPECT_GT(button.GetSize().width, shortWidth + 40);
    EXPECT_EQ(button.GetSize().height, 32);
    const SSize text = SDC::MeasureText("A much longer caption", 118, DT_SINGLELINE);
    // Insets of 15 on each side, plus the slack that pixel snapping takes at a fractional place.
    EXPECT_NEAR(button.GetSize().width, text.width + 32, 1.0);
    button.Destroy();
}

TEST(CaptionStyles, UnknownStylesUseTheLastRow) {
    const auto other = SCommonButton::StyleFor(10);
    EXPECT_EQ(other.normal, 0xFFFFFFu);
    EXPECT_EQ(other.font, 119);
    const auto same = SCommonButton::StyleFor(99);
    EXPECT_EQ(same.disabled, other.disabled);
    EXPECT_EQ(SCommonButton::StyleFor(1).hover, 0x1F8FD5u);
    EXPECT_EQ(SCommonButton::StyleFor(7).normal, SCommonButton::StyleFor(2).normal);
}

TEST_F(WidgetTest, LabelsSizeThemselvesToTheirText) {
    CreateFrame(300, 100);
    SLabel label("Short");
    label.Create("Label", &frame.root, SMargin(0, 0, -1, -1), SSize(10, 10));
    EXPECT_EQ(label.GetFormat(), 0x8024u);
    label.SetAutoSize(1);
    const double shortWidth = label.GetSize().width;
    label.SetText("Somewhat longer text");
    EXPECT_GT(label.GetSize().width, shortWidth);
    label.SetFormat(DT_WORDBREAK);
    label.SetAutoSize(1, 60);
    EXPECT_LE(label.GetSize().width, 60);
    EXPECT_GT(label.GetSize().height, 20);  // wrapped onto more lines
    label.Destroy();
}

TEST_F(WidgetTest, StaticImagePaintsNothingWithoutAPicture) {
    CreateFrame(100, 100);
    SStaticImage image;
    image.Create("Image", &frame.root, SMargin(0, 0, 0, 0), SSize());
    Pump();
    EXPECT_EQ(PresentedPixel(5, 5), 0xFFFFFFFFu);
    const std::unique_ptr<SImage> picture = LoadImage("\\res\\Home\\home_orvel_battery_05.png");
    ASSERT_NE(picture, nullptr);
    image.SetImage(picture.get());
    image.SizeToImage();
    EXPECT_EQ(image.GetSize(), SSize(30, 30));
    image.SetImage(nullptr);
    image.Destroy();
}

TEST_F(WidgetTest, HyperlinkOpensItsTargetOnAClickInside) {
    const fs::path folder = testing_support::makeTempFolder("open");
    const fs::path opener = folder / "opener";
    const fs::path out = folder / "out";
    {
        std::ofstream script(opener);
        script << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " << out.string() << "\n";
    }
    fs::permissions(opener, fs::perms::owner_all);
    testing_support::ScopedEnv env("AURALIS_OPEN_URL", opener.string());

    CreateFrame(200, 60);
    SHyperlinkButton link;
    link.SetText("Licence");
    link.SetTarget("file:///opt/auralis/licence.html");
    link.Create("Link", &frame.root, SMargin(10, 10, -1, -1), SSize(80, 20));
    backend.injectButtonDown(WindowId(), 20, 20);
    backend.injectButtonUp(WindowId(), 150, 50);  // released outside: nothing opens
    backend.injectButtonDown(WindowId(), 20, 20);
    backend.injectButtonUp(WindowId(), 25, 22);
    Pump();
    testing_support::eventually([&] { return fs::exists(out) && fs::file_size(out) > 0; },
                                std::chrono::seconds(5));
    std::ifstream in(out);
    const std::string opened(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(opened, "file:///opt/auralis/licence.html\n");
    link.Destroy();
}

class BarDelegate : public IScrollBarDelegate {
public:
    void ScrollBarPositionChanged(SScrollBarBase*, double position) override {
        positions.push_back(position);
    }
    std::vector<double> positions;
};

TEST(ScrollBars, ClampTheirPositionAndReportEveryChange) {
    SScrollBar bar(SScrollBarBase::kVertical);
    BarDelegate delegate;
    bar.SetDelegate(&delegate);
    bar.SetExtents(100, 40);
    EXPECT_EQ(bar.SetPosition(80), 1);
    EXPECT_EQ(bar.GetPosition(), 60);
    EXPECT_EQ(bar.SetPosition(60), 0);  // no change, no report
    bar.SetExtents(70, 40);             // the content shrank: the position follows
    EXPECT_EQ(bar.GetPosition(), 30);
    bar.SetPosition(-10);
    EXPECT_EQ(bar.GetPosition(), 0);
    bar.SetExtents(30, 40);  // all of it visible
    EXPECT_EQ(bar.GetMaxPosition(), 0);
    EXPECT_EQ(delegate.positions, (std::vector<double>{60, 30, 0}));
}

}  // namespace
}  // namespace ui_test
