#pragma once

#include <memory>

class SAnimatable;
class SDC;
struct AnimationInfo;

// Where a snapshot goes while a transition runs: a rectangle relative to the widget (fractions
// of its width and height) and an opacity.
struct STransitionPlacement {
    double left = 0;
    double top = 0;
    double right = 1;
    double bottom = 1;
    double alpha = 1;
};

// A transition takes over the drawing of a widget while its animation runs (fade, slide,
// zoom). It owns two snapshots of the widget: the picture that goes (outgoing) and the one that
// comes (incoming); either may be missing. The tree asks it to draw; subclasses say where the
// snapshots go at each moment.
class STransition {
public:
    STransition();
    virtual ~STransition();
    STransition(const STransition&) = delete;
    STransition& operator=(const STransition&) = delete;

    virtual void Draw(SDC& dc, AnimationInfo& animation) = 0;
    // Moves the two placements (both start at (0, 0, 1, 1) with alpha 1) for eased progress x.
    virtual void Compute(double eased, STransitionPlacement& outgoing,
                         STransitionPlacement& incoming);

    std::unique_ptr<SDC> outgoing;
    std::unique_ptr<SDC> incoming;
    SAnimatable* widget = nullptr;
    int flags = 0;
};
