#include "app/SHomeView.h"

#include <algorithm>

#include "ui/SDC.h"
#include "ui/SPalette.h"

SHomeView::SHomeView() = default;

SHomeView::~SHomeView() = default;

void SHomeView::OnCreate() {
    m_deviceInfoView.Create("_deviceInfoView", this, SMargin(0, 0, 0, -1),
                            SSize(0, kClusterHeight));
    m_firmwareUpdateView.Create("_firmwareUpdateView", this,
                                SMargin(0, kClusterHeight, 0, kAboutStrip), SSize());
}

void SHomeView::SetMainViewDelegate(IMainViewDelegate* delegate) {
    m_delegate = delegate;
    m_firmwareUpdateView.SetMainViewDelegate(delegate);
}

void SHomeView::OnDeviceStatusChange(const DeviceStatus& status) {
    m_deviceInfoView.OnDeviceStatusChange(status);
}

void SHomeView::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.FillRect(own, SPalette::kSurface);
    // The link's strip continues the firmware screen's background.
    SRect strip = own;
    strip.top = std::max(own.top, own.bottom - kAboutStrip);
    dc.FillRect(strip, SFirmwareUpdateView::kBackground);
}
