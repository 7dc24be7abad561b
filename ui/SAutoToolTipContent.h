#pragma once

#include "ui/SShadowToolTipContentBase.h"

// A bubble tooltip that puts its tail where the bubble stays on the screen: centred when it
// can, else towards the nearer screen edge.
class SAutoToolTipContent : public SShadowToolTipContentBase {
public:
    using SShadowToolTipContentBase::SShadowToolTipContentBase;
    bool ChoosesAlignment() const override { return true; }
};
