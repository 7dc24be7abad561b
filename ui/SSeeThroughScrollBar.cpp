#include "ui/SSeeThroughScrollBar.h"

#include "ui/SDC.h"

void SSeeThroughScrollBar::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    double start = 0;
    double length = 0;
    ThumbSpan(start, length);
    const SRect thumb = m_orientation == kVertical
                            ? SRect(own.left, start, own.right, start + length)
                            : SRect(start, own.top, start + length, own.bottom);
    // Black at 60 % (hover or drag) or 40 % opacity: 0x66 / 0x99 transparency.
    const uint32_t colour = IsDraggingThumb() || IsHovered() ? 0x66000000u : 0x99000000u;
    dc.DrawRoundRect(thumb, colour, 0, GetThickness() / 2);
}
