#include "tools/gallery/GalleryRow.h"

#include <cstdio>

#include "ui/SDC.h"
#include "ui/TextFlags.h"

namespace {

// Row captions cycle through a few scripts so the list also shows font fallback.
const char* const kSamples[] = {
    "Left bud 80 %, right bud 75 %, case 40 %",
    "왼쪽 이어버드 80 %, 오른쪽 75 %",
    "左耳机 80 %，右耳机 75 %",
    "左イヤホン 80 %、右 75 %",
    "Firmware 1.2.3 is up to date",
};

}  // namespace

GalleryRow::GalleryRow(int index) : m_index(index) {}

void GalleryRow::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const uint32_t background = IsHovered() != 0   ? 0x00FFE9D6u
                                : m_index % 2 == 0 ? 0x00FFFFFFu
                                                   : 0x00F7F4F2u;
    dc.FillRect(own, background);
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "%02d", m_index + 1);
    dc.DrawText(prefix, SRect(own.left + 8, own.top, own.left + 34, own.bottom),
                DT_SINGLELINE | DT_VCENTER | DT_RIGHT, 112, 0x00909090u);
    std::string text = kSamples[m_index % (sizeof kSamples / sizeof kSamples[0])];
    if (m_clicks > 0) {
        char clicks[32];
        std::snprintf(clicks, sizeof clicks, "  (clicked %d×)", m_clicks);
        text += clicks;
    }
    dc.DrawText(text, SRect(own.left + 44, own.top, own.right - 8, own.bottom),
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, 114, 0x00303030u);
}

int GalleryRow::OnMouseEnter(const SMouseEventArgs&) {
    Invalidate();
    return 1;
}

void GalleryRow::OnMouseLeave() {
    Invalidate();
}

int GalleryRow::OnLButtonUp(const SMouseEventArgs&) {
    ++m_clicks;
    Invalidate();
    return 1;
}
