#pragma once

#include "ui/SBasicTransition.h"

// Dialogs open and close with it. Without kZoomIn the outgoing picture shrinks towards its
// centre while it fades out and the incoming one grows from 90 % while it fades in; with
// kZoomIn the outgoing picture stays and the incoming one grows from the left.
class SZoomingTransition : public SBasicTransition {
public:
    enum Flags : int { kZoomIn = 1 };

    explicit SZoomingTransition(int transitionFlags = 0) { flags = transitionFlags; }
    void Compute(double eased, STransitionPlacement& outgoing,
                 STransitionPlacement& incoming) override;
};
