#include "ui/SMessageTextPanel.h"

#include <algorithm>

#include "ui/SDC.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

namespace {
constexpr unsigned kFormat = DT_WORDBREAK | DT_CENTER | DT_NOPREFIX;
}

void SMessageTextPanel::SetText(const std::string& text) {
    if (text != m_text) {
        m_text = text;
        Invalidate();
    }
}

double SMessageTextPanel::HeightFor(double width) const {
    const SSize size = SDC::MeasureText(m_text, kFont, kFormat, width - 2 * kPadding);
    return size.height + 2 * kPadding;
}

void SMessageTextPanel::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const SRect box(own.left + kPadding, own.top + kPadding, own.right - kPadding,
                    own.bottom - kPadding);
    if (box.IsEmpty() || m_text.empty()) {
        return;
    }
    const SSize size = SDC::MeasureText(m_text, kFont, kFormat, box.Width());
    const double top = box.top + std::max(0.0, (box.Height() - size.height) / 2);
    dc.DrawText(m_text, SRect(box.left, top, box.right, box.bottom), kFormat, kFont,
                SPalette::kText);
}
