#include "ui/SShadowTooltipPanel.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"
#include "ui/SShadowToolTipContentBase.h"
#include "ui/TextFlags.h"

namespace {
constexpr unsigned kFormat = DT_WORDBREAK | DT_NOPREFIX;
// Inside the 12-unit frame the visible bubble begins 6 units in (the rest is shadow).
constexpr double kShadowMargin = 6;
constexpr double kTextPadding = 6;
}  // namespace

SShadowTooltipPanel::SShadowTooltipPanel() {
    const char* names[] = {"left_top",     "top_middle",  "right_top",     "left_middle",
                           "right_middle", "left_bottom", "bottom_middle", "right_bottom"};
    for (std::size_t i = 0; i < m_slices.size(); ++i) {
        m_slices[i] = LoadImage(std::string("\\res\\tooltip\\tooltip_") + names[i] + ".png");
    }
    m_tail = LoadImage("\\res\\tooltip\\tooltip_bottom_tail.png");
}

SShadowTooltipPanel::~SShadowTooltipPanel() = default;

void SShadowTooltipPanel::SetContent(const SToolTipContent* content) {
    SToolTipPanel::SetContent(content);
    const auto* shadow = dynamic_cast<const SShadowToolTipContentBase*>(content);
    m_alignment = shadow != nullptr ? shadow->alignment
                                    : SShadowToolTipContentBase::TOOLTIP_TYPE_CENTER_ALIGNED;
    m_autoAlign = shadow != nullptr && shadow->ChoosesAlignment();
}

double SShadowTooltipPanel::TailLeft(double width) const {
    const double tail = m_tail ? m_tail->GetWidth() : 24;
    switch (m_alignment) {
        case SShadowToolTipContentBase::TOOLTIP_TYPE_LEFT_ALIGNED:
            return kTailInset;
        case SShadowToolTipContentBase::TOOLTIP_TYPE_RIGHT_ALIGNED:
            return width - kTailInset - tail;
        default:
            return (width - tail) / 2;
    }
}

platform::window::Rect SShadowTooltipPanel::ComputeRect(platform::window::Point cursor,
                                                        platform::window::Rect monitor,
                                                        double zoom) {
    const SSize text = TextSize();
    const double inset = kShadowMargin + kTextPadding;
    const double width = std::max(text.width + 2 * inset, 2 * kFrame + 48);
    const double height = text.height + 2 * inset + kTailDrop;
    platform::window::Rect rect;
    rect.width = static_cast<int>(std::ceil(width * zoom));
    rect.height = static_cast<int>(std::ceil(height * zoom));
    const double tailWidth = m_tail ? m_tail->GetWidth() : 24;
    auto placeFor = [&](int alignment) {
        m_alignment = alignment;
        const double tailMiddle = TailLeft(width) + tailWidth / 2;
        return cursor.x - static_cast<int>(std::lround(tailMiddle * zoom));
    };
    rect.x = placeFor(m_alignment);
    if (m_autoAlign) {
        const int right = monitor.x + monitor.width;
        if (rect.x < monitor.x) {
            rect.x = placeFor(SShadowToolTipContentBase::TOOLTIP_TYPE_LEFT_ALIGNED);
        } else if (rect.x + rect.width > right) {
            rect.x = placeFor(SShadowToolTipContentBase::TOOLTIP_TYPE_RIGHT_ALIGNED);
        }
    }
    // The tail points down at the pointer from just above it, clear of what it hovers.
    rect.y = cursor.y - rect.height - static_cast<int>(6 * zoom);
    return Clamp(rect, monitor);
}

void SShadowTooltipPanel::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const SRect bubble(own.left, own.top, own.right, own.bottom - kTailDrop);
    if (bubble.IsEmpty()) {
        return;
    }
    // Frame and middle; the bottom edge leaves a gap where the tail piece goes.
    std::array<const SImage*, 8> frame = SMainPanel::Pointers(m_slices);
    frame[6] = nullptr;
    SMainPanel::DrawSlices(dc, frame, bubble, SPalette::kSurface);
    const double tailLeft = TailLeft(bubble.Width());
    const double tailWidth = m_tail ? m_tail->GetWidth() : 0;
    const double edgeTop = bubble.bottom - kFrame;
    if (const SImage* edge = m_slices[6].get()) {
        dc.DrawImage(edge, SRect(kFrame, edgeTop, std::max(kFrame, tailLeft), bubble.bottom));
        dc.DrawImage(edge, SRect(std::min(bubble.right - kFrame, tailLeft + tailWidth), edgeTop,
                                 bubble.right - kFrame, bubble.bottom));
    }
    if (m_tail) {
        dc.DrawImage(m_tail.get(), tailLeft, edgeTop);
    }
    const double inset = kShadowMargin + kTextPadding;
    dc.DrawText(m_text, SRect(inset, inset, bubble.right - inset + 1, bubble.bottom - inset + 1),
                kFormat, kFont, SPalette::kTooltipText);
}
