#include "tools/gallery/GalleryTab.h"

#include "ui/SDC.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

GalleryTab::GalleryTab(std::string caption) : m_caption(std::move(caption)) {
    m_type = kRadio;
    m_repaintOnHover = 1;
}

void GalleryTab::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const int state = GetVisualState();
    if (state == kStateHover || state == kStatePressed) {
        dc.DrawRoundRect(SRect(own.left, own.top + 4, own.right, own.bottom - 4),
                         state == kStatePressed ? SPalette::kPressWash : SPalette::kHoverWash, 0,
                         6);
    }
    const bool chosen = GetChecked() != 0;
    dc.DrawText(m_caption, own, DT_SINGLELINE | DT_VCENTER | DT_CENTER, chosen ? 115 : 114,
                chosen ? SPalette::kText : SPalette::kTextSecondary);
    if (chosen) {
        dc.DrawRoundRect(SRect(own.left + 14, own.bottom - 3, own.right - 14, own.bottom),
                         SPalette::kAccent, 0, 1.5);
    }
}
