#include "ui/SBasicTransition.h"

#include "ui/AnimationInfo.h"
#include "ui/SAnimatable.h"
#include "ui/SDC.h"

namespace {

void DrawSnapshot(SDC& dc, const SDC* snapshot, const STransitionPlacement& placement,
                  const SRect& own) {
    if (snapshot == nullptr || placement.alpha <= 0) {
        return;
    }
    SRect target(own.Width() * placement.left, own.Height() * placement.top,
                 own.Width() * placement.right, own.Height() * placement.bottom);
    if (target.IsEmpty() || own.IsEmpty() || snapshot->scale <= 0) {
        return;
    }
    // The snapshot's surface is snapped out to whole pixels around the widget; its extra edges
    // go around the target in proportion, so an unmoved snapshot lands pixel for pixel.
    const double sx = target.Width() / own.Width();
    const double sy = target.Height() / own.Height();
    const SRect& wanted = snapshot->rect;
    const double surfaceRight = snapshot->origin.x + snapshot->pixelWidth / snapshot->scale;
    const double surfaceBottom = snapshot->origin.y + snapshot->pixelHeight / snapshot->scale;
    target.left -= (wanted.left - snapshot->origin.x) * sx;
    target.top -= (wanted.top - snapshot->origin.y) * sy;
    target.right += (surfaceRight - wanted.right) * sx;
    target.bottom += (surfaceBottom - wanted.bottom) * sy;
    dc.DrawContext(*snapshot, target, placement.alpha > 1 ? 1.0 : placement.alpha);
}

}  // namespace

void SBasicTransition::Draw(SDC& dc, AnimationInfo& animation) {
    STransitionPlacement out;
    STransitionPlacement in;
    Compute(animation.eased, out, in);
    if (widget == nullptr) {
        return;
    }
    const SRect own = widget->GetRect(4, 0);
    DrawSnapshot(dc, outgoing.get(), out, own);
    DrawSnapshot(dc, incoming.get(), in, own);
}
