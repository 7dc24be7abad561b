#pragma once

#include "ui/STransition.h"

// Draws the two snapshots where Compute places them: the outgoing one first, the incoming one
// on top. Subclasses only compute the placements.
class SBasicTransition : public STransition {
public:
    void Draw(SDC& dc, AnimationInfo& animation) override;
};
