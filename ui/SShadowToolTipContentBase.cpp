#include "ui/SShadowToolTipContentBase.h"

int SShadowToolTipContentBase::AlignmentFromName(const std::string& name) {
    if (name == "TOOLTIP_TYPE_LEFT_ALIGNED") {
        return TOOLTIP_TYPE_LEFT_ALIGNED;
    }
    if (name == "TOOLTIP_TYPE_RIGHT_ALIGNED") {
        return TOOLTIP_TYPE_RIGHT_ALIGNED;
    }
    return TOOLTIP_TYPE_CENTER_ALIGNED;
}
