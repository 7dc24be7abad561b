#pragma once

#include "ui/SScrollBarBase.h"

// A thin scroll bar without a track: only a translucent thumb over the content.
class SSeeThroughScrollBar : public SScrollBarBase {
public:
    using SScrollBarBase::SScrollBarBase;
    const char* GetClassName() const override { return "SSeeThroughScrollBar"; }
    double GetThickness() const override { return 6; }
    void OnPaint(SDC& dc) override;
};
