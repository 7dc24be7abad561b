#include "ui/SLinkText.h"

#include <algorithm>

#include "ui/SDC.h"
#include "ui/TextFlags.h"

void SLinkText::Draw(SDC& dc, const std::string& text, const SRect& box, unsigned format,
                     int fontId, uint32_t colour, bool underline) {
    if (text.empty() || box.IsEmpty()) {
        return;
    }
    dc.DrawText(text, box, format, fontId, colour);
    if (!underline) {
        return;
    }
    const SSize size = SDC::MeasureText(text, fontId, format | DT_SINGLELINE, 0, dc.scale);
    const double width = std::min(size.width, box.Width());
    double left = box.left;
    if ((format & DT_CENTER) != 0) {
        left = box.left + (box.Width() - width) / 2;
    } else if ((format & DT_RIGHT) != 0) {
        left = box.right - width;
    }
    const double baseline = (format & DT_VCENTER) != 0
                                ? box.top + (box.Height() + size.height) / 2 - 1
                                : box.top + size.height - 1;
    const double y = std::min(baseline, box.bottom - 0.5);
    dc.DrawLine(SPoint(left, y), SPoint(left + width, y), 1, colour);
}
