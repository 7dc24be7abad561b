#include "tools/gallery/GalleryLabel.h"

#include "ui/SColor.h"
#include "ui/SDC.h"

GalleryLabel::GalleryLabel(std::string text, unsigned format, int fontId, uint32_t colour)
    : m_text(std::move(text)),
      m_format(format),
      m_fontId(fontId),
      m_colour(colour),
      m_background(SColor::kTransparent) {}

void GalleryLabel::SetText(const std::string& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    Invalidate();
}

void GalleryLabel::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (m_showBox) {
        dc.FillRect(own, 0x00FAF6F0u);
        dc.DrawRoundRect(SRect(own.left + 0.5, own.top + 0.5, own.right - 0.5, own.bottom - 0.5),
                         0x00D8D0C8u, 1, 0);
    }
    dc.DrawText(m_text, own, m_format, m_fontId, m_colour, 0, m_background);
}
