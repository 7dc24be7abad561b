#include "ui/SHyperlinkButton.h"

#include <cmath>

#include "base/Log.h"
#include "platform/Process.h"
#include "platform/window/Keys.h"
#include "ui/SDC.h"
#include "ui/SLinkText.h"
#include "ui/TextFlags.h"

SHyperlinkButton::SHyperlinkButton() : m_format(DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS) {
    m_focusable = 1;
}

void SHyperlinkButton::SetText(const std::string& text) {
    if (text != m_text) {
        m_text = text;
        Invalidate();
    }
}

void SHyperlinkButton::SetFont(int fontId) {
    m_font = fontId;
    Invalidate();
}

void SHyperlinkButton::SizeToText() {
    const SSize size = SDC::MeasureText(m_text, m_font, m_format);
    SetSize(SSize(std::ceil(size.width) + 2, std::ceil(size.height) + 4));
}

bool SHyperlinkButton::Open() {
    if (m_target.empty()) {
        return false;
    }
    if (!platform::process::openUrl(m_target)) {
        _Log(LOG_WARNING, "SHyperlinkButton::Open", __LINE__, "cannot open %s", m_target.c_str());
        return false;
    }
    return true;
}

void SHyperlinkButton::OnPaint(SDC& dc) {
    const bool hovered = IsHovered() != 0 || m_pressed != 0;
    const uint32_t colour = GetEnabled() == 0 ? SPalette::kTextDisabled
                            : hovered         ? SPalette::kLinkHover
                                              : SPalette::kLink;
    SLinkText::Draw(dc, m_text, GetRect(kRectOwnLogical, 0), m_format, m_font, colour, hovered);
}

int SHyperlinkButton::OnLButtonDown(const SMouseEventArgs&) {
    m_pressed = 1;
    SetCapture();
    Invalidate();
    return 1;
}

int SHyperlinkButton::OnLButtonUp(const SMouseEventArgs& event) {
    if (m_pressed == 0) {
        return 1;
    }
    m_pressed = 0;
    ReleaseCapture();
    Invalidate();
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (event.point.x >= own.left && event.point.x <= own.right && event.point.y >= own.top &&
        event.point.y <= own.bottom) {
        Open();
    }
    return 1;
}

int SHyperlinkButton::OnMouseEnter(const SMouseEventArgs&) {
    Invalidate();
    return 1;
}

void SHyperlinkButton::OnMouseLeave() {
    Invalidate();
}

int SHyperlinkButton::OnSetCursor(const SMouseEventArgs&) {
    SetCursorShape(platform::window::Cursor::Hand);
    return 1;
}

int SHyperlinkButton::KeyDown(int key, uint32_t flags) {
    namespace keys = platform::window::keys;
    if (key == keys::kReturn || key == keys::kSpace) {
        Open();
        return 1;
    }
    return SWindowBase::KeyDown(key, flags);
}
