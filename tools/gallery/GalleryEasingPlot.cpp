#include "tools/gallery/GalleryEasingPlot.h"

#include <string>

#include "ui/SDC.h"
#include "ui/SEasing.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

void GalleryEasingPlot::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.DrawRoundRect(own, 0x00F7F5F3u, 0, 6);
    const SRect plot(own.left + 8, own.top + 18, own.right - 8, own.bottom - 8);
    dc.DrawLine(SPoint(plot.left, plot.bottom), SPoint(plot.right, plot.bottom), 1,
                SPalette::kLine);
    dc.DrawLine(SPoint(plot.left, plot.top), SPoint(plot.left, plot.bottom), 1, SPalette::kLine);
    constexpr int kSteps = 40;
    SPoint previous(plot.left, plot.bottom);
    for (int i = 1; i <= kSteps; ++i) {
        const double t = static_cast<double>(i) / kSteps;
        const double y = SEasing::Apply(m_curve, t);
        const SPoint point(plot.left + t * plot.Width(), plot.bottom - y * plot.Height());
        dc.DrawLine(previous, point, 1.6, SPalette::kAccent);
        previous = point;
    }
    dc.DrawText(std::to_string(m_curve), SRect(own.left + 6, own.top + 2, own.right, own.top + 16),
                DT_SINGLELINE | DT_VCENTER, 110, SPalette::kTextSecondary);
}
