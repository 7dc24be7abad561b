#include "ui/SToolTipPanel.h"

#include <algorithm>
#include <cmath>

#include "ui/SDC.h"
#include "ui/SToolTipContent.h"
#include "ui/TextFlags.h"

namespace {
constexpr unsigned kFormat = DT_WORDBREAK | DT_NOPREFIX;
constexpr uint32_t kBackground = 0x00312D2Bu;  // RGB 2B2D31
constexpr uint32_t kText = 0x00FFFFFFu;
constexpr int kCursorGap = 20;  // below the pointer, clear of the arrow
}  // namespace

void SToolTipPanel::SetContent(const SToolTipContent* content) {
    m_text = content != nullptr ? content->text : std::string();
    Invalidate();
}

void SToolTipPanel::ClearContent() {
    m_text.clear();
}

SSize SToolTipPanel::TextSize() const {
    const SSize size = SDC::MeasureText(m_text, kFont, kFormat, kMaxTextWidth);
    return SSize(std::ceil(size.width), std::ceil(size.height));
}

platform::window::Rect SToolTipPanel::Clamp(platform::window::Rect rect,
                                            platform::window::Rect area) {
    rect.x = std::clamp(rect.x, area.x, std::max(area.x, area.x + area.width - rect.width));
    rect.y = std::clamp(rect.y, area.y, std::max(area.y, area.y + area.height - rect.height));
    return rect;
}

platform::window::Rect SToolTipPanel::ComputeRect(platform::window::Point cursor,
                                                  platform::window::Rect monitor, double zoom) {
    const SSize text = TextSize();
    platform::window::Rect rect;
    rect.width = static_cast<int>(std::ceil((text.width + 2 * kPadding) * zoom));
    rect.height = static_cast<int>(std::ceil((text.height + 2 * kPadding) * zoom));
    rect.x = cursor.x;
    rect.y = cursor.y + static_cast<int>(kCursorGap * zoom);
    if (rect.y + rect.height > monitor.y + monitor.height) {
        rect.y = cursor.y - rect.height - 4;  // no room below: above the pointer
    }
    return Clamp(rect, monitor);
}

void SToolTipPanel::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.DrawRoundRect(own, kBackground, 0, 5);
    dc.DrawText(m_text,
                SRect(own.left + kPadding, own.top + kPadding, own.right - kPadding + 1,
                      own.bottom - kPadding + 1),
                kFormat, kFont, kText);
}
