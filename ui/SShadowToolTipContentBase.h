#pragma once

#include <string>

#include "ui/SToolTipContent.h"

// Tooltip content shown in the shadowed bubble, with where the bubble's tail sits.
class SShadowToolTipContentBase : public SToolTipContent {
public:
    enum Alignment : int {
        TOOLTIP_TYPE_CENTER_ALIGNED = 0,  // the tail under the middle of the bubble
        TOOLTIP_TYPE_LEFT_ALIGNED = 1,    // under its left end: the bubble extends to the right
        TOOLTIP_TYPE_RIGHT_ALIGNED = 2,   // under its right end
    };

    explicit SShadowToolTipContentBase(std::string tipText = "",
                                       int tipAlignment = TOOLTIP_TYPE_CENTER_ALIGNED)
        : SToolTipContent(std::move(tipText)), alignment(tipAlignment) {
        kind = "SShadowTooltipPanel";
    }
    // The alignment's name as written in resources ("TOOLTIP_TYPE_CENTER_ALIGNED", ...); an
    // unknown name is centred.
    static int AlignmentFromName(const std::string& name);
    // Whether the bubble picks its alignment itself, so it stays on the screen.
    virtual bool ChoosesAlignment() const { return false; }

    int alignment;
};
