#pragma once

#include "ui/SScrollBarBase.h"

// The standard scroll bar: a light track with a rounded thumb that darkens on hover and drag.
class SScrollBar : public SScrollBarBase {
public:
    using SScrollBarBase::SScrollBarBase;
    const char* GetClassName() const override { return "SScrollBar"; }
    double GetThickness() const override { return 8; }
    void OnPaint(SDC& dc) override;
};
