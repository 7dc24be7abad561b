#include "app/SDimOverlay.h"

#include "ui/SDC.h"

void SDimOverlay::SetLevel(int level) {
    if (level == m_level) {
        return;
    }
    m_level = level;
    Invalidate();
}

void SDimOverlay::OnPaint(SDC& dc) {
    if (m_level <= 0) {
        return;
    }
    const SRect own = GetRect(kRectOwnLogical, 0);
    const SRect veil(kBorder, kBorder, own.right - kBorder, own.bottom - kBorder);
    // The colour's top byte is transparency: 255 - level leaves an alpha of level / 255.
    const uint32_t transparency = static_cast<uint32_t>(255 - m_level) << 24;
    dc.FillRect(veil, kColour | transparency);
}
