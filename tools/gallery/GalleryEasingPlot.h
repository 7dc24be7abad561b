#pragma once

#include "ui/SWindowBase.h"

// A small graph of one easing curve from 0 to 1, with its number.
class GalleryEasingPlot : public SWindowBase {
public:
    explicit GalleryEasingPlot(int curve) : m_curve(curve) {}
    const char* GetClassName() const override { return "GalleryEasingPlot"; }
    void OnPaint(SDC& dc) override;

private:
    int m_curve;
};
