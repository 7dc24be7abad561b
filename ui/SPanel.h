#pragma once

#include <cstdint>

#include "ui/SColor.h"
#include "ui/SWindowBase.h"

// The plain container. It draws its background (a colour, optionally with rounded corners and
// a border) over its own rectangle and then its children.
class SPanel : public SWindowBase {
public:
    const char* GetClassName() const override { return "SPanel"; }

    void SetBackgroundColor(uint32_t colour);
    uint32_t GetBackgroundColor() const { return m_background; }
    void SetCornerRadius(double radius);
    void SetBorder(uint32_t colour, double width);

    // Draws the background over the panel's own rectangle.
    virtual void DrawBackground(SDC& dc);
    void OnPaint(SDC& dc) override;

protected:
    uint32_t m_background = SColor::kTransparent;
    double m_radius = 0;
    uint32_t m_borderColour = SColor::kTransparent;
    double m_borderWidth = 0;
};
