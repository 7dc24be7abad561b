#pragma once

#include "ui/SBasicTransition.h"

// Cross-fade (kFade), vertical slide (kVertical: the outgoing picture slides down by its height,
// the incoming one rises from below), or both.
class SSlideTransition : public SBasicTransition {
public:
    enum Flags : int { kFade = 1, kVertical = 2 };

    explicit SSlideTransition(int transitionFlags = kFade) { flags = transitionFlags; }
    void Compute(double eased, STransitionPlacement& outgoing,
                 STransitionPlacement& incoming) override;
};
