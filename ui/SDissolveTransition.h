#pragma once

#include "ui/SBasicTransition.h"

// The incoming picture fades in over the outgoing one.
class SDissolveTransition : public SBasicTransition {
public:
    void Compute(double eased, STransitionPlacement& outgoing,
                 STransitionPlacement& incoming) override;
};
