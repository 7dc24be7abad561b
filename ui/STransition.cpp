#include "ui/STransition.h"

#include "ui/SDC.h"

STransition::STransition() = default;
STransition::~STransition() = default;

void STransition::Compute(double, STransitionPlacement&, STransitionPlacement&) {}
