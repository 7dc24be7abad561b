#pragma once

#include "ui/SShadowToolTipContentBase.h"

// A bubble tooltip with a fixed tail position.
class SCommonToolTipContent : public SShadowToolTipContentBase {
public:
    using SShadowToolTipContentBase::SShadowToolTipContentBase;
};
