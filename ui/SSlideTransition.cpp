#include "ui/SSlideTransition.h"

void SSlideTransition::Compute(double eased, STransitionPlacement& outgoing,
                               STransitionPlacement& incoming) {
    const double x = eased;
    if ((flags & kFade) != 0) {
        outgoing.alpha = 1 - x;
        incoming.alpha = x;
    }
    if ((flags & kVertical) != 0) {
        outgoing.top = x;
        outgoing.bottom = 1 + x;
        incoming.top = 1 - x;
        incoming.bottom = 2 - x;
    }
}
