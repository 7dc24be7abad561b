#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/AnimationInfo.h"
#include "ui/SRect.h"

class SDC;
class SWindowBase;

// The first base of every widget: its running animations and the hooks the animation
// machinery calls. The tree itself only reads the list (the input gate and the painting of a
// widget whose transition takes over); starting, stepping and ending animations is the
// machinery's, which runs through the dispatcher's IAnimationDriver.
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

    // 1 while at least one animation runs.
    int IsAnimating() const { return animations.empty() ? 0 : 1; }
    // The first running animation with a transition, which then draws the widget; or null.
    AnimationInfo* GetDrawingAnimation() const;

    std::vector<std::unique_ptr<AnimationInfo>> animations;  // in start order
    int frameCounter = 0;
    int acceptsInputWhileAnimating = 1;
    uint32_t animationPeriod = 0;
};
