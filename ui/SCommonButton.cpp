#include "ui/SCommonButton.h"

#include <algorithm>
#include <cmath>

#include "ui/SDC.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

SCommonButton::SCommonButton() : m_colours(StyleFor(0)), m_font(m_colours.font) {
    m_repaintOnHover = 1;
}

SCommonButton::CaptionStyle SCommonButton::StyleFor(int style) {
    switch (style) {
        case 0:
        case 4:
        case 6:
            return {0x000000, 0x000000, 0xDBDBDB, 115};
        case 1:
            return {0x2197E0, 0x1F8FD5, 0xC5C5C5, 115};
        case 2:
        case 7:
            return {0x535355, 0x535355, 0xC5C5C5, 115};
        case 3:
            return {0xFFFFFF, 0xFFFFFF, 0xE0E8EC, 115};
        case 5:
            return {0x000000, 0x000000, 0xC5C5C5, 115};
        case 8:
            return {0xFFFFFF, 0xFEE3A1, 0xFBF6F3, 113};
        case 9:
            return {0x555353, 0x555353, 0x555353, 114};
        case 11:
            return {0xECA707, 0xECA707, 0xC5C5C5, 119};
        case 12:
            return {0x000000, 0x000000, 0xDBDBDB, 118};
        case 13:
            return {0x2197E0, 0x2197E0, 0x2197E0, 115};
        case 14:
            return {0xFFFFFF, 0xFEE3A1, 0xFBF6F3, 115};
        case 15:
            return {0xFFFFFF, 0xFEE3A1, 0xFBF6F3, 114};
        default:
            return {0xFFFFFF, 0xFFFFFF, 0xE0E8EC, 119};
    }
}

void SCommonButton::SetStyle(int style) {
    m_style = style;
    m_colours = StyleFor(style);
    m_font = m_colours.font;
    Remeasure();
    Invalidate();
}

void SCommonButton::SetText(const std::string& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    Remeasure();
    Invalidate();
}

void SCommonButton::SetFont(int fontId) {
    m_font = fontId;
    Remeasure();
    Invalidate();
}

void SCommonButton::SetTextColor(uint32_t colour) {
    m_colours.normal = m_colours.hover = m_colours.disabled = colour;
    Invalidate();
}

void SCommonButton::SetCornerRadius(double radius) {
    m_radius = radius;
    Invalidate();
}

void SCommonButton::SetAutoSize(int autoSize) {
    m_autoSize = autoSize;
    Remeasure();
}

void SCommonButton::Remeasure() {
    if (m_autoSize == 0) {
        return;
    }
    const SSize text = SDC::MeasureText(m_text, m_font, DT_SINGLELINE);
    // The caption box snaps inwards to whole pixels when drawn; the slack keeps a button at a
    // fractional place from cutting its own caption.
    constexpr double kSnapSlack = 2;
    SetSize(SSize(std::ceil(text.width) + 2 * kCaptionInset + kSnapSlack, GetSize().height));
}

uint32_t SCommonButton::CaptionColor(int state) const {
    switch (state) {
        case kStateHover:
        case kStatePressed:
            return m_colours.hover;
        case kStateDisabled:
            return m_colours.disabled;
        default:
            return m_colours.normal;
    }
}

bool SCommonButton::HasFilledFace() const {
    const uint32_t c = m_colours.normal;
    const int luminance =
        static_cast<int>((c & 0xFF) * 3 + ((c >> 8) & 0xFF) * 6 + ((c >> 16) & 0xFF));
    return luminance > 10 * 0xE0;
}

void SCommonButton::OnDrawFocusRing(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const double inset = kFocusRingWidth / 2;
    const SRect ring(own.left + inset, own.top + inset, own.right - inset, own.bottom - inset);
    if (ring.IsEmpty()) {
        return;
    }
    const double half = std::min(ring.Width(), ring.Height()) / 2;
    const double radius = m_radius < 0 ? half : std::clamp(m_radius - inset, 0.0, half);
    dc.DrawRoundRect(ring, SPalette::kFocusRing, kFocusRingWidth, radius);
    if (!HasFilledFace()) {
        return;
    }
    // A blue ring does not show on a blue face: a white one inside it marks the focus there.
    const double gap = kFocusRingWidth * 1.5;
    const SRect inner(ring.left + gap, ring.top + gap, ring.right - gap, ring.bottom - gap);
    if (!inner.IsEmpty()) {
        const double innerHalf = std::min(inner.Width(), inner.Height()) / 2;
        dc.DrawRoundRect(inner, SColor::Make(0xFF, 0xFF, 0xFF), kFocusRingWidth,
                         std::clamp(radius - gap, 0.0, innerHalf));
    }
}

void SCommonButton::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (own.IsEmpty()) {
        return;
    }
    const int state = GetVisualState();
    const bool active = state == kStatePressed || state == kStateHover;
    // Radii never exceed half the smaller side: a larger one would fold the path over itself.
    const double half = std::min(own.Width(), own.Height()) / 2;
    const double outerRadius = m_radius < 0 ? half : std::min(m_radius, half);
    const bool filled = HasFilledFace();
    if (filled) {
        const uint32_t fill = state == kStateDisabled ? kFilledFaceDisabled
                              : active                ? kFilledFaceActive
                                                      : kFilledFace;
        dc.DrawRoundRect(own, fill, 0, outerRadius);
    } else {
        dc.DrawRoundRect(own, state == kStateDisabled ? kOutlineDisabled : kOutline, 0,
                         outerRadius);
    }
    const double px = 1 / dc.scale;  // one device pixel
    const SRect face(own.left + px, own.top + px, own.right - px, own.bottom - px);
    const double faceHalf = std::min(face.Width(), face.Height()) / 2;
    const double faceRadius = m_radius < 0 ? std::min((face.Height()) / 2 + 2 * px, faceHalf)
                                           : std::min(std::max(m_radius - px, 0.0), faceHalf);
    if (!filled) {
        dc.DrawRoundRect(face, active ? kFaceActive : kFace, 0, faceRadius);
    }
    if (!m_text.empty()) {
        const SRect caption(own.left + kCaptionInset, own.top, own.right - kCaptionInset,
                            own.bottom);
        dc.DrawText(m_text, caption, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS,
                    m_font, CaptionColor(state));
    }
}
