#pragma once

#include "app/SDeviceCluster.h"
#include "app/SFirmwareUpdateView.h"
#include "link/DeviceStatus.h"
#include "ui/SSlideView.h"

class IMainViewDelegate;

// The screen shown while a pair of earbuds is connected: the device cluster across the top,
// 229 units high, and below it the area of the firmware update screen. The controller hands
// every status report of the earbuds to it. UI thread only.
class SHomeView : public SSlideView {
public:
    static constexpr double kClusterHeight = 229;
    // Below the firmware screen, the strip where the main view's "About this program" link sits
    // (5 units above the bottom, one line high): scrolled content never runs under it.
    static constexpr double kAboutStrip = 26;

    SHomeView();
    ~SHomeView() override;
    const char* GetClassName() const override { return "SHomeView"; }

    void SetMainViewDelegate(IMainViewDelegate* delegate);
    IMainViewDelegate* GetMainViewDelegate() const { return m_delegate; }
    // A status report, for the device cluster (the firmware update screen's flow hears the
    // link itself).
    void OnDeviceStatusChange(const DeviceStatus& status);
    SDeviceCluster& GetDeviceCluster() { return m_deviceInfoView; }
    SFirmwareUpdateView& GetFirmwareUpdateView() { return m_firmwareUpdateView; }

    void OnCreate() override;
    void OnPaint(SDC& dc) override;

private:
    IMainViewDelegate* m_delegate = nullptr;
    SDeviceCluster m_deviceInfoView;
    SFirmwareUpdateView m_firmwareUpdateView;
};
