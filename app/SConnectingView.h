#pragma once

#include <cstdint>
#include <memory>

#include "app/SAnimationImageView.h"
#include "ui/IButtonDelegate.h"
#include "ui/SLabel.h"
#include "ui/SWindowBase.h"

class IMainViewDelegate;
class SImage;

// The screen shown while a connection attempt runs: a picture of the earbuds that pulses (two
// stacked image views cross-fade every two seconds) above the text "connecting". No user
// action. The pulse timer runs only while the screen is visible. UI thread only.
class SConnectingView : public SWindowBase, public IButtonDelegate {
public:
    static constexpr uint32_t kPulseTimerId = 1998;
    static constexpr uint32_t kPulsePeriodMs = 2000;
    static constexpr uint32_t kOpenFadeMs = 1000;
    static constexpr double kPictureTop = 92;
    static constexpr double kTextTop = 250;

    SConnectingView();
    ~SConnectingView() override;
    const char* GetClassName() const override { return "SConnectingView"; }

    void SetMainViewDelegate(IMainViewDelegate* delegate) { m_delegate = delegate; }
    IMainViewDelegate* GetMainViewDelegate() const { return m_delegate; }

    int IsPulseRunning() const { return m_timerRunning; }
    // Which image view the last tick showed: 0 "Close image", 1 "Open image".
    int GetShownImage() const { return m_toggle; }
    SLabel& GetDescriptionLabel() { return m_desLabel; }
    SAnimationImageView& GetCloseImage() { return m_closeImage; }
    SAnimationImageView& GetOpenImage() { return m_openImage; }

    void SetVisible(int visible) override;
    void OnCreate() override;
    void OnTimer(uint32_t id) override;
    void OnVisibleChanged(int visible) override;
    void OnDestroy() override;
    void OnPaint(SDC& dc) override;

private:
    void UpdatePulse();

    IMainViewDelegate* m_delegate = nullptr;
    std::unique_ptr<SImage> m_picture;
    int m_timerRunning = 0;
    int m_toggle = 0;
    SLabel m_desLabel;
    SAnimationImageView m_closeImage;
    SAnimationImageView m_openImage;
};
