#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/AnimationInfo.h"
#include "ui/SRect.h"

class SDC;
class STransition;
class SWindowBase;

// The first base of every widget: its running animations and the hooks the animation
// machinery calls.
//
// An animation is keyed and time based: its progress comes from the wall clock
// (platform::tickCount()), so a slow frame skips intermediate states instead of slowing the
// animation down. It either only reports progress (OnAnimate; the widget draws the effect
// itself) or carries a transition that draws the widget from snapshots while it runs. Widgets
// with at least one animation are registered with the process-wide SAnimationDriver, which the
// dispatcher's loop runs. UI thread only.
class SAnimatable {
public:
    SAnimatable();
    virtual ~SAnimatable();
    SAnimatable(const SAnimatable&) = delete;
    SAnimatable& operator=(const SAnimatable&) = delete;

    // Implemented by SWindowBase.
    virtual SWindowBase* GetLayerWidget() = 0;
    virtual SDC* RenderLayer() = 0;
    virtual int GetVisible() = 0;
    virtual int GetFrameMode() = 0;
    virtual SRect GetRect(int kind, int refresh) = 0;

    // Animation hooks; they do nothing by default.
    virtual void OnAnimate(int key, double progress, double eased);
    virtual void OnDrawAnimation(SDC& dc, int key, double progress, double eased);
    virtual void OnAnimationStart(int key);
    virtual void OnAnimationEnd(int key);

    virtual void Present(SDC* dc) = 0;

    // Starts an animation: one with the same key is stopped first (OnAnimationEnd), then
    // OnAnimationStart. With a transition, acceptsInputWhileAnimating becomes acceptInput and
    // the transition is given this widget. count 1 with period = duration is a one-shot
    // animation; a negative count loops until stopped.
    void StartAnimation(int key, uint32_t period, int count, int easing,
                        std::unique_ptr<STransition> transition, int acceptInput);
    // Removes every animation with this key (and its transition and snapshots), then calls
    // OnAnimationEnd(key), also when none ran.
    void StopAnimation(int key);
    // Advances every animation to the current time. An animation whose periods are done gets
    // one final OnAnimate(key, 1, 1) and is stopped. Returns 1.
    int Step();

    // 1 while at least one animation runs.
    int IsAnimating() const { return animations.empty() ? 0 : 1; }
    const AnimationInfo* FindAnimation(int key) const;
    // The most recently started running animation with a transition, which then draws the
    // widget; or null.
    AnimationInfo* GetDrawingAnimation() const;

    std::vector<std::unique_ptr<AnimationInfo>> animations;  // in start order
    int frameCounter = 0;
    int acceptsInputWhileAnimating = 1;
    uint32_t animationPeriod = 0;

private:
    void StepOne(AnimationInfo& animation, uint64_t now);
};
