#include "ui/SZoomingTransition.h"

void SZoomingTransition::Compute(double eased, STransitionPlacement& outgoing,
                                 STransitionPlacement& incoming) {
    const double x = eased;
    const double s = 0.9 + 0.1 * x;
    if ((flags & kZoomIn) != 0) {
        incoming.left = (1 - x) / 10;
        incoming.top = 0;
        incoming.right = s + (1 - x) / 10;
        incoming.bottom = s;
    } else {
        outgoing.left = outgoing.top = x / 20;
        outgoing.right = outgoing.bottom = 1 - 0.1 * x + x / 20;
        outgoing.alpha = 1 - x;
        incoming.left = incoming.top = (1 - x) / 20;
        incoming.right = incoming.bottom = s + (1 - x) / 20;
    }
    incoming.alpha = x;
}
