#include "tools/gallery/GalleryButton.h"

#include "platform/window/Keys.h"
#include "ui/SDC.h"
#include "ui/TextFlags.h"

GalleryButton::GalleryButton(std::string caption, std::function<void()> onClick)
    : m_caption(std::move(caption)), m_onClick(std::move(onClick)) {
    SetFocusable(1);
}

void GalleryButton::SetCaption(const std::string& caption) {
    m_caption = caption;
    Invalidate();
}

void GalleryButton::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const double radius = own.Height() / 2;
    const bool hovered = IsHovered() != 0;
    dc.DrawRoundRect(own, m_pressed || hovered ? 0x00000000u : 0x00A0A0A0u, 0, radius);
    const SRect face(own.left + 1, own.top + 1, own.right - 1, own.bottom - 1);
    dc.DrawRoundRect(face,
                     m_pressed ? 0x00D0D0D0u
                     : hovered ? 0x00E5E5E5u
                               : 0x00FFFFFFu,
                     0, radius - 1);
    if (HasFocus() != 0) {
        dc.DrawRoundRect(SRect(face.left + 2, face.top + 2, face.right - 2, face.bottom - 2),
                         0x00E09721u, 1.5, radius - 3);
    }
    const SRect text(own.left + 12, own.top, own.right - 12, own.bottom);
    dc.DrawText(m_caption, text, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS, 115,
                0x00000000u);
}

int GalleryButton::OnLButtonDown(const SMouseEventArgs&) {
    m_pressed = true;
    SetCapture();
    Invalidate();
    return 1;
}

int GalleryButton::OnLButtonUp(const SMouseEventArgs& event) {
    if (!m_pressed) {
        return 1;
    }
    m_pressed = false;
    ReleaseCapture();
    Invalidate();
    if (GetRect(kRectOwnLogical, 0).Contains(event.point) && m_onClick) {
        m_onClick();
    }
    return 1;
}

int GalleryButton::OnMouseEnter(const SMouseEventArgs&) {
    Invalidate();
    return 1;
}

void GalleryButton::OnMouseLeave() {
    Invalidate();
}

int GalleryButton::OnSetCursor(const SMouseEventArgs&) {
    SetCursorShape(platform::window::Cursor::Hand);
    return 1;
}

int GalleryButton::KeyDown(int key, uint32_t flags) {
    namespace keys = platform::window::keys;
    if ((key == keys::kSpace || key == keys::kReturn) && m_onClick) {
        m_onClick();
        return 1;
    }
    return SWindowBase::KeyDown(key, flags);
}
