#pragma once

#include "app/SConnectingView.h"
#include "app/SDeviceFailView.h"
#include "app/SHomeView.h"
#include "ui/SPanel.h"
#include "ui/SWindowFrame.h"

// A window the size of the main window's content area holding the three full-window screens;
// one is shown at a time.
class ShotFrame : public SWindowFrame {
public:
    static constexpr double kWidth = 408;
    static constexpr double kHeight = 459;

    ~ShotFrame() override { Destroy(); }
    int OnCreate() override;
    // Shows one screen and hides the others.
    void ShowScreen(SWindowBase* screen);

    SPanel root;
    SHomeView home;
    SConnectingView connecting;
    SDeviceFailView fail;
};
