#include "app/SDummyPanel.h"

#include <algorithm>

#include "app/IMainViewDelegate.h"
#include "base/Log.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SSlideTransition.h"
#include "ui/TextFlags.h"

namespace {
constexpr int kTitleFont = 129;    // 20 px bold
constexpr int kWelcomeFont = 124;  // 18 px
constexpr int kHintFont = 112;     // 12 px
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0x999999;
constexpr double kWelcomeHeight = 56;
constexpr double kHintGap = 8;
constexpr double kHintHeight = 36;
constexpr double kPicturesTop = 168;
constexpr double kButtonWidth = 160;
constexpr double kButtonHeight = 36;
constexpr int kEasingCubicOut = 5;
constexpr unsigned kWrappedCentred = DT_WORDBREAK | DT_CENTER | DT_TOP;
}  // namespace

SDummyPanel::SDummyPanel() = default;

SDummyPanel::~SDummyPanel() = default;

void SDummyPanel::OnCreate() {
    CreateTexts();
    CreatePictures();
    m_connectButton.SetStyle(14);
    m_connectButton.SetText(AfxGetStrRes("MNU_Connect"));
    m_connectButton.SetDelegate(this);
    m_connectButton.Create("SCommonButton _btnConnect", this, SMargin(-1, -1, -1, 0),
                           SSize(kButtonWidth, kButtonHeight));
    FitTexts();
}

void SDummyPanel::CreateTexts() {
    const std::string product = AfxGetStrRes("MNU_AuralisManager");
    m_title.SetText(product);
    m_title.SetFont(kTitleFont);
    m_title.SetTextColor(kBlack);
    m_title.SetFormat(DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
    m_title.Create("DeviceDummyViewTitle Text Container", this, SMargin(0, 0, 0, -1), SSize(0, 28));

    const double top = EnvironVar::GetLanguage() == "zh-CN" ? kWelcomeTopChinese : kWelcomeTop;
    m_textTop = top;
    m_welcome.SetText(
        AfxGetStrResFormat("MSG_WelcomeToPomaret1", 2, product, AfxGetStrRes("MNU_Auralis")));
    m_welcome.SetFont(kWelcomeFont);
    m_welcome.SetTextColor(kBlack);
    m_welcome.SetFormat(kWrappedCentred);
    m_welcome.Create("DeviceDummyViewDescWelcome Text Container", this, SMargin(0, top, 0, -1),
                     SSize(0, kWelcomeHeight));

    m_hint.SetText(AfxGetStrRes("MSG_WelcomeConnectHint"));
    m_hint.SetFont(kHintFont);
    m_hint.SetTextColor(kGrey);
    m_hint.SetFormat(kWrappedCentred);
    m_hint.Create("DeviceDummyViewDesc3 Text Container", this,
                  SMargin(0, top + kWelcomeHeight + kHintGap, 0, -1), SSize(0, kHintHeight));
}

void SDummyPanel::OnSize(double width, double height) {
    SPanel::OnSize(width, height);
    FitTexts();
}

void SDummyPanel::OnPaint(SDC& dc) {
    // The panel learns its final width only from its place in the tree; the texts are fitted
    // to it before they are drawn.
    FitTexts();
    SPanel::OnPaint(dc);
}

void SDummyPanel::FitTexts() {
    const double width =
        m_welcome.IsCreated() != 0 ? m_welcome.GetRect(kRectOwnLogical, 0).Width() : 0;
    if (width <= 0 || width == m_fittedWidth || m_hint.IsCreated() == 0) {
        return;
    }
    m_fittedWidth = width;
    const double welcomeHeight = std::max(kWelcomeHeight, m_welcome.MeasureText(width).height);
    const double hintTop = m_textTop + welcomeHeight + kHintGap;
    const double hintHeight = std::max(kHintHeight, m_hint.MeasureText(width).height);
    m_welcome.SetSize(SSize(0, welcomeHeight));
    m_hint.SetMargin(SMargin(0, hintTop, 0, -1));
    m_hint.SetSize(SSize(0, hintHeight));
    // The pictures keep their place unless the texts reach down to them.
    const double designedGap =
        kPicturesTop - (kWelcomeTop + kWelcomeHeight + kHintGap + kHintHeight);
    const double picturesTop = std::max(kPicturesTop, hintTop + hintHeight + designedGap);
    if (m_pictures.IsCreated() != 0) {
        m_pictures.SetMargin(SMargin(-1, picturesTop, -1, -1));
    }
}

void SDummyPanel::CreatePictures() {
    m_closeBitmap = LoadImage("\\res\\Device\\device_connect_earbuds_case_close_white.png");
    m_openBitmap = LoadImage("\\res\\Device\\device_connect_earbuds_case_open_white.png");
    const SSize size = m_closeBitmap != nullptr
                           ? SSize(m_closeBitmap->GetWidth(), m_closeBitmap->GetHeight())
                           : SSize(200, 140);
    // Both pictures in one holder, so the swap animates the place they share.
    m_pictures.Create("Case Pictures", this, SMargin(-1, kPicturesTop, -1, -1), size);
    m_pictures.SetEnabled(0);
    m_closeImage.SetImage(m_closeBitmap.get());
    m_closeImage.Create("Close image", &m_pictures, SMargin(0, 0, 0, 0), SSize(), 1);
    m_openImage.SetImage(m_openBitmap.get());
    m_openImage.Create("Open image", &m_pictures, SMargin(0, 0, 0, 0), SSize(), 0);
}

void SDummyPanel::OnVisibleChanged(int visible) {
    SPanel::OnVisibleChanged(visible);
    if (visible != 0 && GetVisible() != 0) {
        StartSwapTimer();
    } else if (visible == 0) {
        StopSwapTimer();
    }
}

void SDummyPanel::StartSwapTimer() {
    if (!m_swapTimerRunning && SetTimer(kSwapTimerId, kSwapIntervalMs) != 0) {
        m_swapTimerRunning = true;
    }
}

void SDummyPanel::StopSwapTimer() {
    if (m_swapTimerRunning) {
        KillTimer(kSwapTimerId);
        m_swapTimerRunning = false;
    }
}

void SDummyPanel::OnTimer(uint32_t id) {
    if (id != kSwapTimerId) {
        SPanel::OnTimer(id);
        return;
    }
    // The panel may have been hidden with its parent, which does not reach this panel's own
    // visibility hook; nobody would see the swap then.
    if (GetVisible() == 0) {
        StopSwapTimer();
        return;
    }
    SwapPictures();
}

void SDummyPanel::SwapPictures() {
    auto transition = std::make_unique<SSlideTransition>(SSlideTransition::kFade);
    transition->outgoing = m_pictures.RenderSnapshot();
    const bool openShown = IsOpenImageShown();
    m_openImage.SetVisible(openShown ? 0 : 1);
    m_closeImage.SetVisible(openShown ? 1 : 0);
    transition->incoming = m_pictures.RenderSnapshot();
    m_pictures.StartAnimation(kSwapAnimationKey, kSwapTransitionMs, 1, kEasingCubicOut,
                              std::move(transition), 1);
    m_pictures.Invalidate();
}

void SDummyPanel::OnDestroy() {
    StopSwapTimer();
    SPanel::OnDestroy();
}

void SDummyPanel::ButtonClicked(SButton* button) {
    if (button == &m_connectButton && m_delegate != nullptr) {
        m_delegate->OnConnectButtonClick();
    }
}
