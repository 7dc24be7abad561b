#include "ui/STTextCell.h"

#include "ui/SDC.h"
#include "ui/TextFlags.h"

void STTextCell::Draw(SDC& dc, const SRect& rect, const std::string& text, int state) {
    const SRect box(rect.left + kInset, rect.top, rect.right - kInset / 2, rect.bottom);
    if (box.Width() <= 0) {
        return;
    }
    const int font = state == kSelected ? kSelectedFont : kFont;
    dc.DrawText(text, box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX, font,
                textColour);
}
