#include "ui/SDissolveTransition.h"

void SDissolveTransition::Compute(double eased, STransitionPlacement&,
                                  STransitionPlacement& incoming) {
    incoming.alpha = eased;
}
