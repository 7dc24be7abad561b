#include "app/SHomeView.h"

#include "ui/SDC.h"
#include "ui/SPalette.h"

SHomeView::SHomeView() = default;

SHomeView::~SHomeView() = default;

void SHomeView::OnCreate() {
    m_deviceInfoView.Create("_deviceInfoView", this, SMargin(0, 0, 0, -1),
                            SSize(0, kClusterHeight));
    // The firmware update screen ("_firmwareUpdateView") takes the rest, from 229 units down.
}

void SHomeView::OnDeviceStatusChange(const DeviceStatus& status) {
    m_deviceInfoView.OnDeviceStatusChange(status);
    // The firmware update screen receives the same report once it exists.
}

void SHomeView::OnPaint(SDC& dc) {
    dc.FillRect(GetRect(kRectOwnLogical, 0), SPalette::kSurface);
}
