#include "ui/STextButton.h"

#include "ui/SDC.h"

STextButton::STextButton() {
    m_repaintOnHover = 1;
}

void STextButton::SetText(const std::string& text) {
    if (text != m_text) {
        m_text = text;
        Invalidate();
    }
}

void STextButton::SetFont(int fontId) {
    if (fontId != m_font) {
        m_font = fontId;
        Invalidate();
    }
}

void STextButton::SetTextColor(uint32_t colour) {
    SetTextColors(colour, colour, colour, colour);
}

void STextButton::SetTextColors(uint32_t normal, uint32_t hover, uint32_t pressed,
                                uint32_t disabled) {
    m_colours = {normal, hover, pressed, disabled};
    Invalidate();
}

uint32_t STextButton::GetTextColor(int state) const {
    return state >= 0 && state < 4 ? m_colours[static_cast<std::size_t>(state)] : m_colours[0];
}

void STextButton::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const int state = GetPaintState();
    if (const SImage* image = GetImageFor(state)) {
        dc.DrawImage(image, own);
    }
    if (!m_text.empty()) {
        dc.DrawText(m_text, own, m_format, m_font, GetTextColor(state));
    }
}
