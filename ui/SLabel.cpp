#include "ui/SLabel.h"

#include <cmath>

#include "ui/SDC.h"

void SLabel::SetText(const std::string& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    if (m_autoSize != 0) {
        SizeToText();
    }
    Invalidate();
}

void SLabel::SetFont(int fontId) {
    if (fontId == m_font) {
        return;
    }
    m_font = fontId;
    if (m_autoSize != 0) {
        SizeToText();
    }
    Invalidate();
}

void SLabel::SetTextColor(uint32_t colour) {
    if (colour != m_colour) {
        m_colour = colour;
        Invalidate();
    }
}

void SLabel::SetFormat(unsigned format) {
    if (format != m_format) {
        m_format = format;
        Invalidate();
    }
}

void SLabel::SetBackgroundColor(uint32_t colour) {
    if (colour != m_background) {
        m_background = colour;
        Invalidate();
    }
}

void SLabel::SetAutoSize(int autoSize, double maxWidth) {
    m_autoSize = autoSize;
    m_maxWidth = maxWidth;
    if (autoSize != 0) {
        SizeToText();
    }
}

SSize SLabel::MeasureText(double maxWidth) const {
    const SSize size = SDC::MeasureText(m_text, m_font, m_format, maxWidth);
    // Whole units, so the text never ends up a hair too narrow for itself.
    return SSize(std::ceil(size.width), std::ceil(size.height));
}

SSize SLabel::SizeToText() {
    const bool wraps = (m_format & DT_WORDBREAK) != 0;
    const SSize size = MeasureText(wraps ? m_maxWidth : 0);
    SetSize(size);
    return size;
}

void SLabel::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (!SColor(m_background).IsInvisible()) {
        dc.FillRect(own, m_background);
    }
    if (!m_text.empty()) {
        dc.DrawText(m_text, own, m_format, m_font, m_colour);
    }
}
