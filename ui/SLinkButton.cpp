#include "ui/SLinkButton.h"

#include <algorithm>
#include <cmath>

#include "ui/SDC.h"
#include "ui/SLinkText.h"
#include "ui/TextFlags.h"

SLinkButton::SLinkButton() : m_format(DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS) {
    m_repaintOnHover = 1;
}

void SLinkButton::SetText(const std::string& text) {
    if (text != m_text) {
        m_text = text;
        Invalidate();
    }
}

void SLinkButton::SetFont(int fontId) {
    m_font = fontId;
    Invalidate();
}

void SLinkButton::SetTextColors(uint32_t normal, uint32_t hover) {
    m_normal = normal;
    m_hover = hover;
    Invalidate();
}

void SLinkButton::SizeToText() {
    const SSize size = SDC::MeasureText(m_text, m_font, m_format);
    SetSize(SSize(std::ceil(size.width) + 2, std::ceil(size.height) + 4));
}

void SLinkButton::OnPaint(SDC& dc) {
    const int state = GetVisualState();
    const bool active = state == kStateHover || state == kStatePressed;
    const uint32_t colour = state == kStateDisabled ? SPalette::kTextDisabled
                            : active                ? m_hover
                                                    : m_normal;
    SLinkText::Draw(dc, m_text, GetRect(kRectOwnLogical, 0), m_format, m_font, colour, active);
}

int SLinkButton::OnSetCursor(const SMouseEventArgs&) {
    SetCursorShape(GetEnabled() != 0 ? platform::window::Cursor::Hand
                                     : platform::window::Cursor::Arrow);
    return 1;
}
