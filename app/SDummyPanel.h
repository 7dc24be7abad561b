#pragma once

#include <cstdint>
#include <memory>

#include "ui/IButtonDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SLabel.h"
#include "ui/SPanel.h"
#include "ui/SStaticImage.h"

class IMainViewDelegate;
class SImage;

// The welcome panel: the program's name, the welcome text, a hint line, the charging case that
// opens and closes every two seconds while the panel is shown, and the connect button, which
// starts a connection through the main view delegate.
class SDummyPanel : public SPanel, public IButtonDelegate {
public:
    static constexpr uint32_t kSwapTimerId = 1102;
    static constexpr uint32_t kSwapIntervalMs = 2000;
    static constexpr uint32_t kSwapTransitionMs = 250;
    static constexpr int kSwapAnimationKey = 1102;
    // The welcome text's distance from the panel top; Chinese texts sit higher.
    static constexpr double kWelcomeTop = 58;
    static constexpr double kWelcomeTopChinese = 31;

    SDummyPanel();
    ~SDummyPanel() override;
    const char* GetClassName() const override { return "SDummyPanel"; }

    void SetMainViewDelegate(IMainViewDelegate* delegate) { m_delegate = delegate; }
    // Whether the open case is the picture shown now.
    bool IsOpenImageShown() const { return m_openImage.GetOwnVisible() != 0; }
    bool IsSwapTimerRunning() const { return m_swapTimerRunning; }
    SCommonButton& GetConnectButton() { return m_connectButton; }

    void OnCreate() override;
    void OnSize(double width, double height) override;
    void OnPaint(SDC& dc) override;
    void OnTimer(uint32_t id) override;
    void OnVisibleChanged(int visible) override;
    void OnDestroy() override;
    void ButtonClicked(SButton* button) override;

private:
    void CreateTexts();
    void CreatePictures();
    // Gives the welcome and hint texts the height they need at their width (never less than
    // the designed boxes) and moves what lies below them down by as much.
    void FitTexts();
    void StartSwapTimer();
    void StopSwapTimer();
    void SwapPictures();

    IMainViewDelegate* m_delegate = nullptr;
    SLabel m_title;
    SLabel m_welcome;
    SLabel m_hint;
    std::unique_ptr<SImage> m_closeBitmap;
    std::unique_ptr<SImage> m_openBitmap;
    SWindowBase m_pictures;
    SStaticImage m_closeImage;
    SStaticImage m_openImage;
    SCommonButton m_connectButton;
    bool m_swapTimerRunning = false;
    double m_textTop = kWelcomeTop;
    double m_fittedWidth = 0;
};
