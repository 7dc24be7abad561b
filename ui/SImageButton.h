#pragma once

#include "ui/SBoardButton.h"
#include "ui/SColor.h"

// A button painted from its state pictures, centred at their natural size. When every state
// shares one picture (title-bar buttons), a hover wash behind it shows the state instead.
class SImageButton : public SBoardButton {
public:
    SImageButton();
    const char* GetClassName() const override { return "SImageButton"; }

    // A rounded wash under the picture while hovered (and darker while pressed); transparent
    // turns it off.
    void SetHoverWash(uint32_t colour, double radius);
    void OnPaint(SDC& dc) override;

private:
    uint32_t m_wash = SColor::kTransparent;
    double m_washRadius = 0;
};
