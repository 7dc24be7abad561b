#include "ui/SImageButton.h"

#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"

SImageButton::SImageButton() {
    m_repaintOnHover = 1;
}

void SImageButton::SetHoverWash(uint32_t colour, double radius) {
    m_wash = colour;
    m_washRadius = radius;
    Invalidate();
}

void SImageButton::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const int state = GetPaintState();
    if (!SColor(m_wash).IsInvisible() && (state == kStateHover || state == kStatePressed)) {
        dc.DrawRoundRect(own, state == kStatePressed ? SPalette::kPressWash : m_wash, 0,
                         m_washRadius);
    }
    const SImage* image = GetImageFor(state);
    if (image == nullptr) {
        return;
    }
    const double x = (own.Width() - image->GetWidth()) / 2;
    const double y = (own.Height() - image->GetHeight()) / 2;
    dc.DrawImage(image, x, y, state == kStateDisabled && !m_images[kStateDisabled] ? 0.4 : 1.0);
}
