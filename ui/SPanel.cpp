#include "ui/SPanel.h"

#include "ui/SDC.h"

void SPanel::SetBackgroundColor(uint32_t colour) {
    if (colour == m_background) {
        return;
    }
    m_background = colour;
    Invalidate();
}

void SPanel::SetCornerRadius(double radius) {
    m_radius = radius;
    Invalidate();
}

void SPanel::SetBorder(uint32_t colour, double width) {
    m_borderColour = colour;
    m_borderWidth = width;
    Invalidate();
}

void SPanel::DrawBackground(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.DrawRoundRect(own, m_background, 0, m_radius);
    if (m_borderWidth > 0) {
        const double inset = m_borderWidth / 2;
        const SRect line(own.left + inset, own.top + inset, own.right - inset, own.bottom - inset);
        dc.DrawRoundRect(line, m_borderColour, m_borderWidth, m_radius);
    }
}

void SPanel::OnPaint(SDC& dc) {
    DrawBackground(dc);
}
