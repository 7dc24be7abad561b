#include "app/SConnectingView.h"

#include "services/SLocale.h"
#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

namespace {
constexpr const char* kPicturePath = "\\res\\Device\\device_connect_earbuds_white.png";
constexpr double kPictureWidth = 200;
constexpr double kPictureHeight = 140;
constexpr double kTextSide = 32;
constexpr double kTextHeight = 44;
constexpr int kTextFont = 118;  // 15 px regular
}  // namespace

SConnectingView::SConnectingView() = default;

SConnectingView::~SConnectingView() = default;

void SConnectingView::OnCreate() {
    if (!m_picture) {
        m_picture = LoadImage(kPicturePath);
    }
    const SSize pictureSize = m_picture ? SSize(m_picture->GetWidth(), m_picture->GetHeight())
                                        : SSize(kPictureWidth, kPictureHeight);

    m_desLabel.Create("Des label", this, SMargin(kTextSide, kTextTop, kTextSide, -1),
                      SSize(0, kTextHeight));
    m_desLabel.SetFont(kTextFont);
    m_desLabel.SetFormat(DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    m_desLabel.SetText(AfxGetStrRes("MSG_Kestrane_ConnectingToEabuds"));

    m_closeImage.Create("Close image", this, SMargin(-1, kPictureTop, -1, -1), pictureSize);
    m_closeImage.SetImage(m_picture.get());
    m_openImage.Create("Open image", this, SMargin(-1, kPictureTop, -1, -1), pictureSize, 0);
    m_openImage.SetImage(m_picture.get());
    m_openImage.SetDuration(kOpenFadeMs);
    m_toggle = 0;
    UpdatePulse();
}

void SConnectingView::SetVisible(int visible) {
    SWindowBase::SetVisible(visible);
    UpdatePulse();
}

void SConnectingView::OnVisibleChanged(int visible) {
    SWindowBase::OnVisibleChanged(visible);
    UpdatePulse();
}

void SConnectingView::UpdatePulse() {
    const int wanted = (IsCreated() != 0 && GetVisible() != 0) ? 1 : 0;
    if (wanted == m_timerRunning) {
        return;
    }
    if (wanted != 0) {
        m_timerRunning = SetTimer(kPulseTimerId, kPulsePeriodMs) != 0 ? 1 : 0;
    } else {
        KillTimer(kPulseTimerId);
        m_timerRunning = 0;
    }
}

void SConnectingView::OnTimer(uint32_t id) {
    if (id != kPulseTimerId) {
        return;
    }
    m_toggle ^= 1;
    m_openImage.SetVisible(m_toggle);
    m_closeImage.SetVisible(m_toggle ^ 1);
    Invalidate();
}

void SConnectingView::OnDestroy() {
    if (m_timerRunning != 0) {
        KillTimer(kPulseTimerId);
        m_timerRunning = 0;
    }
}

void SConnectingView::OnPaint(SDC& dc) {
    dc.FillRect(GetRect(kRectOwnLogical, 0), SPalette::kSurface);
}
