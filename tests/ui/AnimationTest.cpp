// Animation: wall-clock progress and the end of an animation, restarting a key, the easing
// curves, the driver's layer choice and frame pacing, transitions drawing from snapshots, and
// the slide view's delayed show, fades and forced hide.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/TickCount.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SAnimationDriver.h"
#include "ui/SDispatcher.h"
#include "ui/SDissolveTransition.h"
#include "ui/SEasing.h"
#include "ui/SSlideTransition.h"
#include "ui/SSlideView.h"
#include "ui/SWindowAgent.h"
#include "ui/SZoomingTransition.h"

namespace ui_test {
namespace {

constexpr uint32_t kRed = 0x000000FFu;    // 0xTTBBGGRR
constexpr uint32_t kWhite = 0x00FFFFFFu;  // the frame's background

// A panel that records the animation hooks.
class AnimatedPanel : public RecordingWidget {
public:
    using RecordingWidget::RecordingWidget;
    void OnAnimate(int key, double progress, double eased) override {
        calls.push_back({key, progress, eased});
    }
    void OnAnimationStart(int key) override { Record("start " + std::to_string(key)); }
    void OnAnimationEnd(int key) override { Record("end " + std::to_string(key)); }

    struct Call {
        int key;
        double progress;
        double eased;
    };
    std::vector<Call> calls;
};

class AnimationTest : public UiTest {
protected:
    AnimationTest() {
        app->GetDispatcher().running = 1;
        app->GetDispatcher().SetLastFrameTick(clock.now());
    }
    ~AnimationTest() override { app->GetDispatcher().running = 0; }

    AnimatedPanel* AddAnimated(SWindowBase* parent, const std::string& name, const SMargin& margin,
                               const SSize& size) {
        animated.push_back(std::make_unique<AnimatedPanel>(&log));
        AnimatedPanel* widget = animated.back().get();
        widget->Create(name, parent, margin, size);
        log.clear();
        return widget;
    }
    // Moves the clock on in small steps, letting the loop run at each, as time passes for it.
    void Advance(uint64_t milliseconds) {
        for (uint64_t done = 0; done < milliseconds;) {
            const uint64_t step = std::min<uint64_t>(5, milliseconds - done);
            clock.advance(step);
            done += step;
            Pump();
        }
    }
    SAnimationDriver& driver() { return SAnimationDriver::Instance(); }

    platform::ManualTickSource clock;
    std::vector<std::unique_ptr<AnimatedPanel>> animated;
};

TEST_F(AnimationTest, OneShotReportsWallClockProgressThenOneFinalCallThenTheEnd) {
    CreateFrame(100, 100);
    AnimatedPanel* widget = AddAnimated(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    widget->StartAnimation(5, 150, 1, 0, nullptr, 1);
    EXPECT_TRUE(driver().IsRegistered(widget));

    clock.advance(75);
    widget->Step();
    ASSERT_EQ(widget->calls.size(), 1u);
    EXPECT_DOUBLE_EQ(widget->calls[0].progress, 0.5);
    EXPECT_DOUBLE_EQ(widget->calls[0].eased, 0.5);

    clock.advance(74);
    widget->Step();
    ASSERT_EQ(widget->calls.size(), 2u);
    EXPECT_LT(widget->calls[1].progress, 1.0);
    EXPECT_EQ(widget->IsAnimating(), 1);

    log.clear();
    clock.advance(1);  // T + 150
    widget->Step();
    ASSERT_EQ(widget->calls.size(), 3u);
    EXPECT_EQ(widget->calls[2].key, 5);
    EXPECT_EQ(widget->calls[2].progress, 1.0);
    EXPECT_EQ(widget->calls[2].eased, 1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"A:end 5"}));
    EXPECT_EQ(widget->IsAnimating(), 0);
    EXPECT_FALSE(driver().IsRegistered(widget));

    clock.advance(100);
    widget->Step();
    EXPECT_EQ(widget->calls.size(), 3u);
}

TEST_F(AnimationTest, ALateStepEndsAtOnceAndLoopsRestartEveryPeriod) {
    CreateFrame(100, 100);
    AnimatedPanel* once = AddAnimated(&frame.root, "Once", SMargin(0, 0, 0, 0), SSize());
    AnimatedPanel* loop = AddAnimated(&frame.root, "Loop", SMargin(0, 0, 0, 0), SSize());
    once->StartAnimation(1, 100, 1, 5, nullptr, 1);
    loop->StartAnimation(2, 100, -1, 0, nullptr, 1);

    clock.advance(1000);  // a very slow frame skips states, it does not slow the animation
    once->Step();
    loop->Step();
    ASSERT_EQ(once->calls.size(), 1u);
    EXPECT_EQ(once->calls[0].progress, 1.0);
    EXPECT_EQ(once->IsAnimating(), 0);
    ASSERT_EQ(loop->calls.size(), 1u);
    EXPECT_DOUBLE_EQ(loop->calls[0].progress, 0.0);
    EXPECT_EQ(loop->animations[0]->periodsDone, 10);

    clock.advance(30);
    loop->Step();
    EXPECT_DOUBLE_EQ(loop->calls[1].progress, 0.3);
    EXPECT_EQ(loop->IsAnimating(), 1);
    loop->StopAnimation(2);
    EXPECT_EQ(loop->IsAnimating(), 0);
    EXPECT_FALSE(driver().IsRegistered(loop));
}

TEST_F(AnimationTest, StartingARunningKeyRestartsItAndStopAlwaysReportsTheEnd) {
    CreateFrame(100, 100);
    AnimatedPanel* widget = AddAnimated(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    widget->StartAnimation(3, 200, 1, 0, nullptr, 1);
    widget->StartAnimation(4, 200, 1, 0, nullptr, 1);
    clock.advance(100);
    widget->StartAnimation(3, 200, 1, 0, std::make_unique<SDissolveTransition>(), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"A:end 3", "A:start 3", "A:end 4", "A:start 4",
                                             "A:end 3", "A:start 3"}));
    ASSERT_EQ(widget->animations.size(), 2u);
    EXPECT_EQ(widget->animations[0]->key, 4);
    EXPECT_EQ(widget->animations[1]->key, 3);
    EXPECT_EQ(widget->animations[1]->startTick, static_cast<uint32_t>(clock.now()));
    EXPECT_EQ(widget->acceptsInputWhileAnimating, 0);
    EXPECT_EQ(widget->animations[1]->transition->widget, widget);
    EXPECT_EQ(widget->GetDrawingAnimation(), widget->animations[1].get());

    log.clear();
    widget->StopAnimation(99);  // nothing runs under this key: the end is reported anyway
    EXPECT_EQ(log, (std::vector<std::string>{"A:end 99"}));
    EXPECT_EQ(widget->animations.size(), 2u);
}

TEST(Easing, CurvesMatchTheirFormulasAndUnknownNumbersAreLinear) {
    for (int curve : {0, 21, -1, 100}) {
        for (double t : {0.0, 0.3, 0.5, 1.0}) {
            EXPECT_DOUBLE_EQ(SEasing::Apply(curve, t), t) << curve;
        }
    }
    for (double t = 0; t <= 1.0; t += 0.05) {
        EXPECT_DOUBLE_EQ(SEasing::Apply(18, t), SEasing::Apply(6, t)) << t;
    }
    struct Value {
        int curve;
        double t;
        double expected;
    };
    const Value values[] = {{1, 0.5, 0.25},          {2, 0.5, 0.75},         {3, 0.25, 0.125},
                            {3, 0.75, 0.875},        {4, 0.5, 0.125},        {5, 0.5, 0.875},
                            {6, 0.25, 0.0625},       {6, 0.75, 0.9375},      {7, 0.5, 0.0625},
                            {8, 0.5, 0.9375},        {9, 0.75, 0.96875},     {10, 0.5, 0.03125},
                            {11, 0.5, 0.96875},      {12, 0.75, 0.984375},   {15, 0.5, 0.03125},
                            {16, 0.5, 0.96875},      {17, 0.25, 0.015625},   {17, 0.75, 0.984375},
                            {19, 0.5, 0.1339745962}, {20, 0.5, 0.8660254038}};
    for (const Value& v : values) {
        EXPECT_NEAR(SEasing::Apply(v.curve, v.t), v.expected, 1e-9) << "curve " << v.curve;
    }
    // The sine curves use the fixed angle factor.
    EXPECT_DOUBLE_EQ(SEasing::Apply(14, 0.5), std::sin(0.5 * 1.570796325));
    EXPECT_DOUBLE_EQ(SEasing::Apply(13, 0.5), 1 - std::cos(0.5 * 1.570796325));
    // Every curve starts near 0 and ends at 1.
    for (int curve = 1; curve <= 20; ++curve) {
        EXPECT_NEAR(SEasing::Apply(curve, 0.0), 0.0, 1e-3) << curve;
        EXPECT_NEAR(SEasing::Apply(curve, 1.0), 1.0, 1e-3) << curve;
    }
}

TEST_F(AnimationTest, EasedValueReachesTheHook) {
    CreateFrame(100, 100);
    AnimatedPanel* widget = AddAnimated(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    widget->StartAnimation(1, 100, 1, 1, nullptr, 1);
    clock.advance(50);
    widget->Step();
    ASSERT_EQ(widget->calls.size(), 1u);
    EXPECT_DOUBLE_EQ(widget->calls[0].progress, 0.5);
    EXPECT_DOUBLE_EQ(widget->calls[0].eased, 0.25);
}

TEST(AnimationLayers, OnlyOutermostLayersAreKept) {
    SPanel root;
    SPanel outer;
    SPanel inner;
    SPanel other;
    // A tree without a frame is enough: only parents matter.
    ASSERT_EQ(outer.Create("Outer", &root, SMargin(), SSize()), 1);
    ASSERT_EQ(inner.Create("Inner", &outer, SMargin(), SSize()), 1);
    ASSERT_EQ(other.Create("Other", &root, SMargin(), SSize()), 1);

    std::vector<SWindowBase*> layers;
    SAnimationDriver::AddOutermostLayer(layers, &inner);
    SAnimationDriver::AddOutermostLayer(layers, &other);
    SAnimationDriver::AddOutermostLayer(layers, &inner);
    EXPECT_EQ(layers, (std::vector<SWindowBase*>{&inner, &other}));
    SAnimationDriver::AddOutermostLayer(layers, &outer);  // replaces the layer inside it
    EXPECT_EQ(layers, (std::vector<SWindowBase*>{&other, &outer}));
    SAnimationDriver::AddOutermostLayer(layers, &inner);  // covered by its ancestor
    EXPECT_EQ(layers, (std::vector<SWindowBase*>{&other, &outer}));
    SAnimationDriver::AddOutermostLayer(layers, &root);
    EXPECT_EQ(layers, (std::vector<SWindowBase*>{&root}));
    inner.Destroy();
    other.Destroy();
    outer.Destroy();
}

TEST_F(AnimationTest, AnimatingWidgetsOfOneLayerPaintItOncePerFrame) {
    CreateFrame(120, 100);
    frame.agent.Init(1);  // a layered frame paints single layers
    AnimatedPanel* parent = AddAnimated(&frame.root, "Parent", SMargin(10, 10, 10, 10), SSize());
    parent->SetOwnLayer(1);
    AnimatedPanel* child = AddAnimated(parent, "Child", SMargin(5, 5, 5, 5), SSize());
    child->SetOwnLayer(1);
    AnimatedPanel* a = AddAnimated(&frame.root, "A", SMargin(0, 0, -1, -1), SSize(5, 5));
    AnimatedPanel* b = AddAnimated(&frame.root, "B", SMargin(-1, 0, 0, -1), SSize(5, 5));
    Pump();

    a->StartAnimation(1, 1000, -1, 0, nullptr, 1);
    b->StartAnimation(1, 1000, -1, 0, nullptr, 1);
    clock.advance(31);
    const int presents = Window()->presentCount();
    EXPECT_EQ(driver().Drive(0), 1);
    EXPECT_EQ(driver().LastLayers(), (std::vector<SWindowBase*>{&frame.root}));
    EXPECT_EQ(Window()->presentCount(), presents + 1);
    a->StopAnimation(1);
    b->StopAnimation(1);

    child->StartAnimation(1, 1000, -1, 0, nullptr, 1);
    clock.advance(31);
    EXPECT_EQ(driver().Drive(0), 1);
    EXPECT_EQ(driver().LastLayers(), (std::vector<SWindowBase*>{child}));
    parent->StartAnimation(1, 1000, -1, 0, nullptr, 1);
    clock.advance(31);
    EXPECT_EQ(driver().Drive(0), 1);
    EXPECT_EQ(driver().LastLayers(), (std::vector<SWindowBase*>{parent}));
    EXPECT_EQ(child->calls.size(), 2u);  // covered, yet stepped
    child->StopAnimation(1);
    parent->StopAnimation(1);
}

TEST_F(AnimationTest, FramesArePacedThirtyMillisecondsApart) {
    CreateFrame(100, 100);
    AnimatedPanel* widget = AddAnimated(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    widget->StartAnimation(1, 1000, -1, 0, nullptr, 1);
    EXPECT_EQ(driver().Drive(0), 0);  // the loop just started
    clock.advance(31);
    EXPECT_EQ(driver().MillisecondsToNextFrame(), 0);
    EXPECT_EQ(driver().Drive(0), 1);
    EXPECT_EQ(app->GetDispatcher().GetLastFrameTick(), clock.now());
    EXPECT_EQ(driver().MillisecondsToNextFrame(), 31);

    clock.advance(20);
    EXPECT_EQ(driver().Drive(0), 0);
    EXPECT_EQ(widget->calls.size(), 1u);
    clock.advance(10);  // exactly 30 ms: not yet more than 30
    EXPECT_EQ(driver().Drive(0), 0);
    clock.advance(1);
    EXPECT_EQ(driver().Drive(1), 1);  // forced: steps, but the dispatcher paints
    EXPECT_EQ(widget->calls.size(), 2u);
    EXPECT_NE(app->GetDispatcher().GetLastFrameTick(), clock.now());
    EXPECT_EQ(driver().Drive(0), 1);
    EXPECT_EQ(app->GetDispatcher().GetLastFrameTick(), clock.now());

    app->GetDispatcher().running = 0;  // no loop, no frames
    clock.advance(100);
    EXPECT_EQ(driver().Drive(0), 0);
    EXPECT_EQ(driver().MillisecondsToNextFrame(), -1);
    widget->StopAnimation(1);
}

TEST_F(AnimationTest, HiddenWidgetsAreNotSteppedAndEndWhenShownAgain) {
    CreateFrame(100, 100);
    AnimatedPanel* widget = AddAnimated(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    widget->StartAnimation(1, 100, 1, 0, nullptr, 1);
    widget->SetVisible(0);
    EXPECT_EQ(driver().MillisecondsToNextFrame(), -1);  // nothing to show: the loop may sleep
    Advance(300);
    EXPECT_TRUE(widget->calls.empty());
    EXPECT_EQ(widget->IsAnimating(), 1);

    widget->SetVisible(1);
    Advance(40);
    ASSERT_EQ(widget->calls.size(), 1u);
    EXPECT_EQ(widget->calls[0].progress, 1.0);
    EXPECT_EQ(widget->IsAnimating(), 0);
}

TEST_F(AnimationTest, TransitionsPlaceTheirSnapshots) {
    STransitionPlacement out;
    STransitionPlacement in;
    SDissolveTransition dissolve;
    dissolve.Compute(0.25, out, in);
    EXPECT_EQ(out.alpha, 1.0);
    EXPECT_EQ(in.alpha, 0.25);

    SSlideTransition both(SSlideTransition::kFade | SSlideTransition::kVertical);
    out = in = STransitionPlacement();
    both.Compute(0.25, out, in);
    EXPECT_EQ(out.alpha, 0.75);
    EXPECT_EQ(out.top, 0.25);
    EXPECT_EQ(out.bottom, 1.25);
    EXPECT_EQ(in.top, 0.75);
    EXPECT_EQ(in.bottom, 1.75);
    EXPECT_EQ(in.left, 0.0);
    EXPECT_EQ(in.right, 1.0);

    SZoomingTransition zoom;
    out = in = STransitionPlacement();
    zoom.Compute(0.5, out, in);
    EXPECT_DOUBLE_EQ(out.left, 0.025);
    EXPECT_DOUBLE_EQ(out.right, 0.975);
    EXPECT_DOUBLE_EQ(out.alpha, 0.5);
    EXPECT_DOUBLE_EQ(in.top, 0.025);
    EXPECT_DOUBLE_EQ(in.bottom, 0.975);
    EXPECT_DOUBLE_EQ(in.alpha, 0.5);

    SZoomingTransition zoomIn(SZoomingTransition::kZoomIn);
    out = in = STransitionPlacement();
    zoomIn.Compute(0.5, out, in);
    EXPECT_EQ(out.alpha, 1.0);
    EXPECT_DOUBLE_EQ(in.left, 0.05);
    EXPECT_DOUBLE_EQ(in.top, 0.0);
    EXPECT_DOUBLE_EQ(in.right, 1.0);
    EXPECT_DOUBLE_EQ(in.bottom, 0.95);
}

class RedView : public SSlideView {
public:
    void OnPaint(SDC& dc) override { dc.FillRect(GetRect(kRectOwnLogical, 0), kRed); }
};

uint8_t Red(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 16);
}
uint8_t Green(uint32_t argb) {
    return static_cast<uint8_t>(argb >> 8);
}

TEST_F(AnimationTest, SlideViewWaitsFadesInAndFadesOutDrawingFromSnapshots) {
    CreateFrame(100, 100);
    RedView view;
    view.Create("View", &frame.root, SMargin(0, 0, 0, 0), SSize(), 0);
    Pump();
    EXPECT_EQ(Green(PresentedPixel(50, 50)), 0xFF);  // white

    view.SetVisible(1);
    EXPECT_EQ(view.IsWaiting(), 1);
    EXPECT_EQ(view.GetOwnVisible(), 0);
    Advance(145);
    EXPECT_EQ(view.GetOwnVisible(), 0);
    Advance(10);  // the delayed show: the fade-in starts
    EXPECT_EQ(view.IsWaiting(), 0);
    EXPECT_EQ(view.GetOwnVisible(), 1);
    EXPECT_EQ(view.IsFadingIn(), 1);
    EXPECT_EQ(view.acceptsInputWhileAnimating, 0);
    ASSERT_NE(view.FindAnimation(SSlideView::kFadeInKey), nullptr);
    Advance(40);
    // Half transparent red over white, drawn from the snapshot.
    const uint8_t green = Green(PresentedPixel(50, 50));
    EXPECT_GT(green, 0x10);
    EXPECT_LT(green, 0xF0);
    EXPECT_EQ(Red(PresentedPixel(50, 50)), 0xFF);
    Advance(150);
    EXPECT_EQ(view.IsFadingIn(), 0);
    EXPECT_EQ(view.IsAnimating(), 0);
    EXPECT_EQ(PresentedPixel(50, 50), 0xFFFF0000u);

    view.SetVisible(0);
    EXPECT_EQ(view.IsFadingOut(), 1);
    EXPECT_EQ(view.GetOwnVisible(), 1);
    Advance(200);
    EXPECT_EQ(view.IsFadingOut(), 0);
    EXPECT_EQ(view.GetOwnVisible(), 0);
    EXPECT_EQ(PresentedPixel(50, 50), 0xFF000000u | kWhite);
    view.Destroy();
}

TEST_F(AnimationTest, SlideViewIgnoresASecondShowAndForceHidesWhileWaiting) {
    CreateFrame(100, 100);
    SSlideView view;
    view.Create("View", &frame.root, SMargin(0, 0, 0, 0), SSize(), 0);
    view.SetVisible(1);
    Advance(50);
    view.SetVisible(1);
    EXPECT_EQ(CountInLog("DON'T HANDLE: [SSlideView], Waiting timer !!!!!!"), 1);
    EXPECT_EQ(frame.agent.TimerOwner(view.GetTimerId()), &view);

    view.SetVisible(0);
    EXPECT_EQ(CountInLog("[SSlideView] Force Hide "), 1);
    EXPECT_EQ(view.IsWaiting(), 0);
    EXPECT_EQ(frame.agent.TimerOwner(view.GetTimerId()), nullptr);
    Advance(400);
    EXPECT_EQ(view.GetOwnVisible(), 0);
    EXPECT_EQ(view.IsAnimating(), 0);

    // Shown and idle: a further show is logged, not acted on.
    view.SetVisible(1);
    Advance(400);
    EXPECT_EQ(view.GetOwnVisible(), 1);
    view.SetVisible(1);
    EXPECT_EQ(CountInLog("DON'T HANDLE: [SSlideView], visible[1], GetVisible() [1], "
                         "_isFadingOut[0], _isFadingIn[0]"),
              1);
    view.Destroy();
}

TEST_F(AnimationTest, ShowingDuringAFadeOutEndsVisible) {
    CreateFrame(100, 100);
    SSlideView view;
    view.Create("View", &frame.root, SMargin(0, 0, 0, 0), SSize(), 0);
    view.SetDuration(100);
    view.SetVisible(1);
    Advance(300);
    ASSERT_EQ(view.GetOwnVisible(), 1);
    view.SetDuration(200);  // a fade-out longer than the wait before the next show
    view.SetVisible(0);
    Advance(20);
    view.SetVisible(1);  // waits 200 ms while the fade-out still runs
    EXPECT_EQ(view.IsWaiting(), 1);
    Advance(600);
    EXPECT_EQ(view.GetOwnVisible(), 1);
    EXPECT_EQ(view.IsAnimating(), 0);

    // A hide of a view whose parent is hidden is immediate, and never undoes a later show.
    frame.root.SetVisible(0);
    view.SetVisible(0);
    EXPECT_EQ(view.GetOwnVisible(), 0);
    EXPECT_EQ(view.IsAnimating(), 0);
    frame.root.SetVisible(1);
    view.Destroy();
}

TEST_F(AnimationTest, SlideViewWithoutFlagsShowsAndHidesAtOnce) {
    CreateFrame(100, 100);
    SSlideView view;
    view.SetFade(0);
    view.Create("View", &frame.root, SMargin(0, 0, 0, 0), SSize(), 0);
    view.SetVisible(1);
    EXPECT_EQ(view.GetOwnVisible(), 1);
    view.SetVisible(0);
    EXPECT_EQ(view.GetOwnVisible(), 0);
    EXPECT_EQ(view.IsAnimating(), 0);
    view.Destroy();
}

TEST_F(AnimationTest, RunningTransitionBlocksInputItRefuses) {
    CreateFrame(100, 100);
    AnimatedPanel* widget = AddAnimated(&frame.root, "A", SMargin(0, 0, 0, 0), SSize());
    widget->StartAnimation(1, 100, 1, 0, std::make_unique<SDissolveTransition>(), 0);
    log.clear();
    backend.injectButtonDown(WindowId(), 50, 50);
    backend.injectButtonUp(WindowId(), 50, 50);
    Pump();
    EXPECT_TRUE(log.empty());
    Advance(150);
    EXPECT_EQ(widget->IsAnimating(), 0);
    log.clear();
    backend.injectButtonDown(WindowId(), 50, 50);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"A:down 50,50"}));
}

}  // namespace
}  // namespace ui_test
