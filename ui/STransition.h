#pragma once

class SDC;
struct AnimationInfo;

// A transition takes over the drawing of a widget while its animation runs (fade, slide,
// zoom). The animation machinery builds on this base; the tree only asks it to draw.
class STransition {
public:
    virtual ~STransition() = default;
    virtual void Draw(SDC& dc, AnimationInfo& animation) = 0;
};
