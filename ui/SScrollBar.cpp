#include "ui/SScrollBar.h"

#include "ui/SDC.h"

void SScrollBar::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const double radius = GetThickness() / 2;
    dc.DrawRoundRect(own, 0x00F0F0F0u, 0, radius);
    double start = 0;
    double length = 0;
    ThumbSpan(start, length);
    const SRect thumb = m_orientation == kVertical
                            ? SRect(own.left + 1, start + 1, own.right - 1, start + length - 1)
                            : SRect(start + 1, own.top + 1, start + length - 1, own.bottom - 1);
    const uint32_t colour = IsDraggingThumb() ? 0x00707070u
                            : IsHovered()     ? 0x00909090u
                                              : 0x00B4B4B4u;
    dc.DrawRoundRect(thumb, colour, 0, radius - 1);
}
