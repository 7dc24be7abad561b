#include "app/SFirmwareUpdateView.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "app/FirmwareUpdateMessage.h"
#include "app/IMainViewDelegate.h"
#include "app/LastUpdateDate.h"
#include "app/SCheckFWVersionPopup.h"
#include "base/Log.h"
#include "flow/FirmwareUpdateFlow.h"
#include "fota/FirmwareVersionText.h"
#include "fota/ReleaseNotesLanguage.h"
#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SUtil.h"
#include "services/WebApiData.h"
#include "ui/SDC.h"
#include "ui/SDialogFrame.h"
#include "ui/SDispatcher.h"
#include "ui/SInvokeArgument.h"
#include "ui/SMessageDialog.h"
#include "ui/SPalette.h"
#include "ui/SPopupDialog.h"
#include "ui/STextLayout.h"
#include "ui/SWindowAgent.h"
#include "ui/SWindowFrame.h"
#include "ui/TextFlags.h"

namespace {

// Layout, in logical units.
constexpr double kSide = 24;
constexpr double kCurrentVersionTop = 44;
constexpr double kCurrentVersionHeight = 22;
constexpr double kLastUpdateTop = 70;
constexpr double kLastUpdateHeight = 18;
constexpr double kCheckButtonTop = 112;
constexpr double kButtonHeight = 34;
// Everything of state 0, which fits the smallest home screen without scrolling.
constexpr double kCheckPanelHeight = 160;
constexpr double kAvailableTop = 18;
constexpr double kAvailableHeight = 22;
constexpr double kVersionTop = 44;
constexpr double kSizeTop = 64;
constexpr double kSmallLineHeight = 18;
constexpr double kUpdateButtonTop = 90;
constexpr double kProgressTop = 88;
constexpr double kProgressBarHeight = 8;
constexpr double kProgressTextTop = 12;
constexpr double kProgressTextHeight = 16;
constexpr double kWhatsNewTop = 6;
constexpr double kWhatsNewHeight = 20;
constexpr double kNotesTop = 28;
constexpr double kDescriptionFixed = 32;  // the description panel without its notes
constexpr double kCautionTitleTop = 10;
constexpr double kCautionTitleHeight = 20;
constexpr double kCautionDetailTop = 32;
constexpr double kCautionHeight = 94;
constexpr double kFallbackWidth = 408;

constexpr int kTitleFont = 117;    // 14 px bold
constexpr int kVersionFont = 116;  // 14 px regular
constexpr int kHeadingFont = 115;  // 13 px bold
constexpr int kTextFont = 112;     // 12 px regular
constexpr int kSmallFont = 110;    // 11 px regular
constexpr int kFilledButtonStyle = 3;

constexpr unsigned kLineFormat = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
constexpr unsigned kWrapFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

constexpr int kMessageOk = 1;

// The screen's invocation record: four texts and two numbers, as the events need them.
struct FirmwareArgument : SInvokeArgument {
    explicit FirmwareArgument(int32_t invokeId) : SInvokeArgument(invokeId, 0) {}
    std::string s0;
    std::string s1;
    std::string s2;
    std::string s3;
    int32_t a = 0;
    int32_t b = 0;
};

// A copy: the device hands out its model code by value.
std::string DeviceModel(const BluetoothDevice* device) {
    return device != nullptr ? device->modelCode() : std::string();
}

}  // namespace

SFirmwareUpdateView::SFirmwareUpdateView() = default;

SFirmwareUpdateView::~SFirmwareUpdateView() {
    Shutdown();
}

void SFirmwareUpdateView::SetBluetoothHandle(BluetoothHandle* link) {
    if (link == nullptr || m_flow) {
        return;
    }
    m_link = link;
    m_flow = std::make_unique<FirmwareUpdateFlow>(*link, this);
    // The flow hears the link itself; this screen only the two events it acts on.
    m_link->addReceiver(m_flow.get());
    m_link->addReceiver(this);
}

void SFirmwareUpdateView::Shutdown() {
    if (m_closing.exchange(true)) {
        return;
    }
    if (m_link != nullptr) {
        // Each returns once the link's calls to it in flight have returned.
        m_link->removeReceiver(this);
        m_link->removeReceiver(m_flow.get());
    }
    if (m_offerThread.joinable()) {
        m_offerThread.join();
    }
    // Cancels a running download and joins the flow's threads: no flow event after this.
    m_flow.reset();
}

void SFirmwareUpdateView::SetLinkLossShown(std::function<bool()> shown) {
    m_linkLossShown = std::move(shown);
}

bool SFirmwareUpdateView::LinkLossShown() const {
    return !m_linkLossShown || m_linkLossShown();
}

// ---------------------------------------------------------------- creation and layout

void SFirmwareUpdateView::OnCreate() {
    SCustomSView::OnCreate();
    m_dispatcher = SDispatcher::GetInstance();
    CreateCheckPanel();
    CreateDownloadPanel();
    CreateDescriptionPanels();
    SetViewState(kStateCheck);
}

void SFirmwareUpdateView::CreateCheckPanel() {
    m_checkPanel.Create("Panel Check update", this, SMargin(0, 0, 0, -1),
                        SSize(0, kCheckPanelHeight));

    m_currentVersionLabel.Create("Label Current version", &m_checkPanel,
                                 SMargin(kSide, kCurrentVersionTop, kSide, -1),
                                 SSize(0, kCurrentVersionHeight));
    m_currentVersionLabel.SetFont(kVersionFont);
    m_currentVersionLabel.SetFormat(kLineFormat | DT_CENTER);
    m_currentVersionLabel.SetTextColor(kVersionColour);
    m_currentVersionLabel.SetText(AfxGetStrRes("MSG_Pelk_CurrentSoftwareVersion") + ": ");

    m_lastUpdateLabel.Create("Label Last update", &m_checkPanel,
                             SMargin(kSide, kLastUpdateTop, kSide, -1), SSize(0, kLastUpdateHeight),
                             0);
    m_lastUpdateLabel.SetFont(kTextFont);
    m_lastUpdateLabel.SetFormat(kLineFormat | DT_CENTER);
    m_lastUpdateLabel.SetTextColor(SPalette::kTextSecondary);

    m_checkButton.SetStyle(kFilledButtonStyle);
    m_checkButton.SetDelegate(this);
    m_checkButton.Create("Button CheckFimwareUpdate", &m_checkPanel,
                         SMargin(-1, kCheckButtonTop, -1, -1), SSize(0, kButtonHeight));
    m_checkButton.SetAutoSize(1);
    m_checkButton.SetText(AfxGetStrRes("MNU_CheckUpdate"));

    m_badge.Create("Badge", &m_checkPanel, SMargin(0, 0, -1, -1), SSize(kBadgeSize, kBadgeSize), 0);
    m_badge.SetBackgroundColor(kBadgeColour);
    m_badge.SetCornerRadius(kBadgeSize / 2);
}

void SFirmwareUpdateView::CreateDownloadPanel() {
    m_downloadPanel.Create("Panel Download", this, SMargin(0, 0, 0, -1), SSize(0, kDownloadHeight),
                           0);

    m_availableLabel.Create("Label FWAvaiable", &m_downloadPanel,
                            SMargin(kSide, kAvailableTop, kSide, -1), SSize(0, kAvailableHeight));
    m_availableLabel.SetFont(kTitleFont);
    m_availableLabel.SetFormat(kLineFormat);

    m_versionLabel.Create("Label Version", &m_downloadPanel, SMargin(kSide, kVersionTop, kSide, -1),
                          SSize(0, kSmallLineHeight));
    m_versionLabel.SetFont(kTextFont);
    m_versionLabel.SetFormat(kLineFormat);
    m_versionLabel.SetTextColor(kVersionColour);

    m_sizeLabel.Create("Label Size", &m_downloadPanel, SMargin(kSide, kSizeTop, kSide, -1),
                       SSize(0, kSmallLineHeight));
    m_sizeLabel.SetFont(kTextFont);
    m_sizeLabel.SetFormat(kLineFormat);
    m_sizeLabel.SetTextColor(SPalette::kTextSecondary);

    m_updateButton.SetStyle(kFilledButtonStyle);
    m_updateButton.SetDelegate(this);
    m_updateButton.Create("Button CheckFimwareUpdate", &m_downloadPanel,
                          SMargin(kSide, kUpdateButtonTop, -1, -1), SSize(0, kButtonHeight));
    m_updateButton.SetAutoSize(1);
    m_updateButton.SetText(AfxGetStrRes("MNU_Zephiro_Update"));

    m_progressPanel.Create("Panel Progress", &m_downloadPanel,
                           SMargin(kSide, kProgressTop, kSide, -1),
                           SSize(0, kDownloadProgressHeight - kProgressTop), 0);
    m_progressBar.Create("Progress bar", &m_progressPanel, SMargin(0, 0, 0, -1),
                         SSize(0, kProgressBarHeight));
    m_progressBar.SetRange(0, 100);
    m_percentLabel.Create("Label Percent", &m_progressPanel, SMargin(0, kProgressTextTop, -1, -1),
                          SSize(80, kProgressTextHeight));
    m_percentLabel.SetFont(kTextFont);
    m_percentLabel.SetFormat(kLineFormat);
    m_counterLabel.Create("Counter progress bar", &m_progressPanel,
                          SMargin(-1, kProgressTextTop, 0, -1), SSize(200, kProgressTextHeight));
    m_counterLabel.SetFont(kTextFont);
    m_counterLabel.SetFormat(kLineFormat | DT_RIGHT);
    m_counterLabel.SetTextColor(SPalette::kTextSecondary);
}

void SFirmwareUpdateView::CreateDescriptionPanels() {
    m_descriptionPanel.Create("Panel Description", this, SMargin(0, kDownloadHeight, 0, -1),
                              SSize(0, kDescriptionFixed), 0);
    m_whatsNewLabel.Create("Label WhatNew", &m_descriptionPanel,
                           SMargin(kSide, kWhatsNewTop, kSide, -1), SSize(0, kWhatsNewHeight));
    m_whatsNewLabel.SetFont(kHeadingFont);
    m_whatsNewLabel.SetFormat(kLineFormat);
    m_whatsNewLabel.SetText(AfxGetStrRes("MSG_WhatsNew"));
    m_descriptionLabel.Create("Label Description", &m_descriptionPanel,
                              SMargin(kSide, kNotesTop, kSide, -1), SSize(0, 0));
    m_descriptionLabel.SetFont(kTextFont);
    m_descriptionLabel.SetFormat(kWrapFormat);

    m_cautionPanel.Create("Panel Caution", this,
                          SMargin(0, kDownloadHeight + kDescriptionFixed, 0, -1),
                          SSize(0, kCautionHeight), 0);
    m_cautionTitleLabel.Create("Label CautionTitle", &m_cautionPanel,
                               SMargin(kSide, kCautionTitleTop, kSide, -1),
                               SSize(0, kCautionTitleHeight));
    m_cautionTitleLabel.SetFont(kHeadingFont);
    m_cautionTitleLabel.SetFormat(kLineFormat);
    m_cautionTitleLabel.SetText(AfxGetStrRes("MSG_Cautions"));
    m_cautionDetailLabel.Create("Label CautionDetail", &m_cautionPanel,
                                SMargin(kSide, kCautionDetailTop, kSide, -1),
                                SSize(0, kCautionHeight - kCautionDetailTop));
    m_cautionDetailLabel.SetFont(kSmallFont);
    m_cautionDetailLabel.SetFormat(kWrapFormat);
    m_cautionDetailLabel.SetTextColor(SPalette::kTextSecondary);
    m_cautionDetailLabel.SetText("\xE2\x80\xA2 " + AfxGetStrRes("MSG_CautionsDescription") +
                                 "\n\xE2\x80\xA2 " + AfxGetStrRes("MSG_CautionsDescription2"));
}

void SFirmwareUpdateView::OnSize(double width, double height) {
    SCustomSView::OnSize(width, height);
    PlaceBadge();
}

void SFirmwareUpdateView::PlaceBadge() {
    if (m_checkPanel.IsCreated() == 0) {
        return;
    }
    double width = m_checkPanel.GetRect(kRectOwnLogical, 1).Width();
    if (width <= 0) {
        width = GetSize().width > 0 ? GetSize().width : kFallbackWidth;
    }
    const SSize button = m_checkButton.GetSize();
    const double left = (width - button.width) / 2 + button.width + kBadgeGap;
    const double top = kCheckButtonTop + (button.height - kBadgeSize) / 2;
    m_badge.SetMargin(SMargin(left, top, -1, -1));
}

void SFirmwareUpdateView::OnVisibleChanged(int visible) {
    SCustomSView::OnVisibleChanged(visible);
    if (visible != 0 && IsCreated() != 0) {
        SetViewState(kStateCheck);
    }
}

void SFirmwareUpdateView::OnPaint(SDC& dc) {
    dc.FillRect(GetRect(kRectOwnLogical, 0), kBackground);
}

// ---------------------------------------------------------------- states

void SFirmwareUpdateView::SetViewState(int state) {
    if (state < kStateCheck || state > kStateCopying) {
        return;
    }
    m_viewState = state;
    const bool check = state == kStateCheck;
    m_checkPanel.SetVisible(check ? 1 : 0);
    m_downloadPanel.SetVisible(check ? 0 : 1);
    m_descriptionPanel.SetVisible(check ? 0 : 1);
    m_cautionPanel.SetVisible(check ? 0 : 1);
    if (check) {
        m_progressPercent.store(0);
        m_progressBytes.store(0);
        m_progressBar.SetPos(0);
        m_notify = EnvironVar::GetIsNotifyUpdateFW();
        m_checkButton.SetText(AfxGetStrRes("MNU_CheckUpdate"));
        PlaceBadge();
        m_badge.SetVisible(m_notify != 0 ? 1 : 0);
        RefreshLastUpdate();
    } else if (state == kStateAvailable) {
        m_availableLabel.SetText(AfxGetStrRes("MSG_SoftwareUpdateAvailable"));
        m_updateButton.SetVisible(1);
        m_progressPanel.SetVisible(0);
    } else {
        m_availableLabel.SetText(AfxGetStrRes(state == kStateDownloading
                                                  ? "MSG_Kestrane_DownloadingSoftware"
                                                  : "MSG_Kestrane_CopyingingToEarbuds"));
        // The bar is read out by the step it measures.
        m_progressBar.SetAccessibleName(m_availableLabel.GetText());
        m_updateButton.SetVisible(0);
        m_progressPanel.SetVisible(1);
        m_progressBar.SetPos(0);
        m_percentLabel.SetText("");
        m_counterLabel.SetText("");
    }
    LayoutState();
    // Every state begins at its heading, however far the user had scrolled.
    ScrollTo(0, 0);
    Invalidate();
}

void SFirmwareUpdateView::LayoutState() {
    const double titleExtra = FitTitle();
    const double downloadHeight =
        (m_viewState == kStateAvailable ? kDownloadHeight : kDownloadProgressHeight) + titleExtra;
    m_downloadPanel.SetSize(SSize(0, downloadHeight));
    m_descriptionLabel.SetSize(SSize(0, m_notesHeight));
    m_descriptionPanel.SetMargin(SMargin(0, downloadHeight, 0, -1));
    m_descriptionPanel.SetSize(SSize(0, kDescriptionFixed + m_notesHeight));
    m_cautionPanel.SetMargin(SMargin(0, downloadHeight + kDescriptionFixed + m_notesHeight, 0, -1));
    // The content reaches the caution panel's bottom: notes height + 261 in state 1, + 244 in
    // states 2 and 3.
    UpdateContentSize();
    ArrangeChildren();
}

double SFirmwareUpdateView::FitTitle() {
    const double width =
        std::max(1.0, (GetSize().width > 0 ? GetSize().width : kFallbackWidth) - 2 * kSide);
    m_availableLabel.SetFormat(kLineFormat);
    double extra = 0;
    if (m_availableLabel.MeasureText(0).width > width) {
        // Too long for one line: the title wraps and pushes what lies below it down.
        m_availableLabel.SetFormat(kWrapFormat);
        extra = std::max(0.0, m_availableLabel.MeasureText(width).height - kAvailableHeight);
    }
    m_availableLabel.SetSize(SSize(0, kAvailableHeight + extra));
    m_versionLabel.SetMargin(SMargin(kSide, kVersionTop + extra, kSide, -1));
    m_sizeLabel.SetMargin(SMargin(kSide, kSizeTop + extra, kSide, -1));
    m_updateButton.SetMargin(SMargin(kSide, kUpdateButtonTop + extra, -1, -1));
    m_progressPanel.SetMargin(SMargin(kSide, kProgressTop + extra, kSide, -1));
    return extra;
}

void SFirmwareUpdateView::RefreshLastUpdate() {
    // The date of the pair shown, not of whichever pair was updated last.
    const BluetoothDevice* device = m_flow ? m_flow->device() : nullptr;
    const uint32_t last =
        device != nullptr
            ? EnvironVar::GetLastTimeUpdateFW(platform::bluetooth::formatAddress(device->address))
            : 0;
    const std::string date =
        last != 0 ? LastUpdateDate::Format(last, EnvironVar::GetLanguage()) : std::string();
    if (date.empty()) {
        m_lastUpdateLabel.SetVisible(0);
        return;
    }
    m_lastUpdateLabel.SetText(AfxGetStrRes("MSG_LastUpdate") + ": " +
                              STextLayout::KeepLeftToRight(date));
    m_lastUpdateLabel.SetVisible(1);
}

// ---------------------------------------------------------------- buttons

void SFirmwareUpdateView::ButtonClicked(SButton* button) {
    if (button == &m_checkButton) {
        CheckFirmwareVersion();
    } else if (button == &m_updateButton) {
        StartUpdate();
    }
}

void SFirmwareUpdateView::CheckFirmwareVersion() {
    if (m_checking || m_closing.load()) {
        _Log(LOG_INFO, "SFirmwareUpdateView::CheckFirmwareVersion", __LINE__,
             "A version check is already running");
        return;
    }
    if (!m_flow) {
        _Log(LOG_WARNING, "SFirmwareUpdateView::CheckFirmwareVersion", __LINE__,
             "No device link: nothing to check");
        return;
    }
    if (m_flow->busy()) {
        // The mismatch question may come while an update runs: that update answers it.
        _Log(LOG_INFO, "SFirmwareUpdateView::CheckFirmwareVersion", __LINE__,
             "An update is running: no version check");
        return;
    }
    m_checking = true;
    m_checkCancelled = false;
    // No words until the check tells its cause.
    m_checkError = base::Error(std::string(), WEBAPI_ERROR_NETWORK);
    std::optional<WEBAPI_FIRMWARE_VERSION> answer = RunVersionCheck();
    if (!answer) {
        m_checking = false;
        if (!m_checkCancelled) {
            PostError(INVOKE_INTERNET_UNAVAILABLE, m_checkError);
        }
        return;
    }
    if (m_offerThread.joinable()) {
        m_offerThread.join();
    }
    // The size request may take a while: the answer becomes an offer off the UI thread.
    m_offerThread = std::thread([this, answer = std::move(*answer)] {
        const FirmwareOffer offer = m_flow->AcceptAnswer(answer);
        auto argument = std::make_unique<FirmwareArgument>(INVOKE_CHECK_UPDATE_FIRMWARE);
        argument->s0 = offer.currentVersion;
        argument->s1 = offer.newVersion;
        argument->s2 = offer.sizeText;
        argument->s3 = offer.shownNotes;
        argument->a = offer.offered ? 1 : 0;
        argument->b = offer.newer ? 1 : 0;
        Post(std::move(argument));
    });
}

std::optional<WEBAPI_FIRMWARE_VERSION> SFirmwareUpdateView::RunVersionCheck() {
    if (m_versionRunner) {
        return m_versionRunner();
    }
    SWindowAgent* agent = GetAgent();
    SCheckFWVersionPopup popup(agent != nullptr ? agent->GetFrame() : nullptr,
                               DeviceModel(m_flow->device()));
    const int result = popup.Show();
    if (popup.GetError() != 0) {
        // Closed by the user before the server answered: no failure to report.
        m_checkCancelled = result == SPopupDialog::kResultClosed &&
                           popup.GetError() == SCheckFWVersionPopup::kErrorNotAsked;
        m_checkError = popup.GetCause();
        return std::nullopt;
    }
    WEBAPI_FIRMWARE_VERSION answer;
    answer.version = popup.GetNewVersion();
    answer.url = popup.GetDownloadUrl();
    answer.flag = popup.GetFlag();
    answer.notes[fota::releaseNotesKey(EnvironVar::GetLanguage())] = popup.GetReleaseNotes();
    answer.extra = popup.GetExtra();
    answer.notesKorean = popup.GetReleaseNotesKorean();
    return answer;
}

void SFirmwareUpdateView::StartUpdate() {
    if (!m_flow) {
        return;
    }
    switch (m_flow->CheckStart()) {
        case fota::UpdateStart::NotWorn:
            ShowMessage(AfxGetStrRes("MNU_BluetoothUnavailable"),
                        AfxGetStrRes("MSG_BluetoothUnavailableDescription2"));
            return;
        case fota::UpdateStart::BatteryLow:
            ShowMessage(AfxGetStrRes("MNU_BatteryLow"),
                        AfxGetStrResFormat("MSG_BatteryLowDescription", 1,
                                           std::to_string(fota::kMinimumBattery)));
            return;
        case fota::UpdateStart::AskResend:
            if (ShowMessage(AfxGetStrRes("MNU_FirmwareUpdateTitle"),
                            AfxGetStrRes("MSG_SoftwareUpdateFailDescription"), 1) == kMessageOk) {
                m_handledFinishCodes.clear();
                if (!m_flow->Resend()) {
                    _Log(LOG_WARNING, "SFirmwareUpdateView::StartUpdate", __LINE__,
                         "Resend refused: an update is running");
                }
            } else {
                SetViewState(kStateCheck);
            }
            return;
        case fota::UpdateStart::Ready:
            break;
    }
    m_handledFinishCodes.clear();
    if (!m_flow->StartDownload()) {
        _Log(LOG_WARNING, "SFirmwareUpdateView::StartUpdate", __LINE__,
             "The download could not start");
        OnInternetUnavailableInvoked(
            base::Error("the download could not start", WEBAPI_ERROR_FAILED).within("download"));
    }
}

// ---------------------------------------------------------------- link events (link threads)

// The flow keeps the device, its status and versions, runs the transfer and writes the log
// lines of the link's events; the screen hears back through the flow's events. These two the
// screen acts on itself.

void SFirmwareUpdateView::OnDeviceConnected(bool isConnected, BluetoothDevice* /*device*/) {
    m_connected.store(isConnected);
}

void SFirmwareUpdateView::OnDeviceVersionMismatch() {
    _Log(LOG_INFO, "SFirmwareUpdateView::OnDeviceVersionMismatch", __LINE__,
         "OnDeviceVersionMismatch");
    // The question is asked on the UI thread; the listener thread goes on receiving.
    PostId(INVOKE_VERSION_MISMATCH);
}

// ---------------------------------------------------------------- flow events (worker threads)

void SFirmwareUpdateView::OnFlowCurrentVersion(const std::string& current) {
    {
        std::lock_guard<std::mutex> guard(m_versionMutex);
        m_reportedVersion = current;
    }
    PostId(INVOKE_SHOW_CURRENT_VERSION);
}

void SFirmwareUpdateView::OnFlowPhaseChange(int phase) {
    PostId(INVOKE_PHASE_CHANGE, phase);
}

void SFirmwareUpdateView::OnFlowDownloadProgress(int percent, uint64_t bytes) {
    StoreProgress(percent, bytes);
}

void SFirmwareUpdateView::OnFlowTransferProgress(int percent, uint64_t bytes) {
    StoreProgress(percent, bytes);
}

void SFirmwareUpdateView::StoreProgress(int percent, uint64_t bytes) {
    m_progressPercent.store(percent);
    m_progressBytes.store(static_cast<uint32_t>(bytes));
    // One record in the queue at a time: the UI thread always shows the newest values.
    if (!m_progressPending.exchange(true)) {
        PostId(INVOKE_UPDATE_PROGRESS_BAR);
    }
}

void SFirmwareUpdateView::OnFlowInternetUnavailable(const base::Error& error) {
    PostError(INVOKE_INTERNET_UNAVAILABLE, error);
}

void SFirmwareUpdateView::OnFlowBluetoothUnavailable(FlowLinkLoss cause) {
    if (LinkLossShown()) {
        PostId(INVOKE_BLUETOOTH_UNAVAILABLE, static_cast<int32_t>(cause));
    }
}

void SFirmwareUpdateView::OnFlowDeviceLost() {
    if (LinkLossShown()) {
        PostId(INVOKE_DEVICE_LOST);
    }
}

void SFirmwareUpdateView::OnFlowPairLost() {
    PostId(INVOKE_PAIR_LOST);
}

void SFirmwareUpdateView::OnFlowPackageRefused(const base::Error& why) {
    _Log(LOG_WARNING, "SFirmwareUpdateView::OnFlowPackageRefused", __LINE__,
         "The downloaded package is refused: %s", why.message().c_str());
    PostError(INVOKE_PACKAGE_REFUSED, why);
}

void SFirmwareUpdateView::OnFlowFinish(bool success, int reason) {
    PostId(INVOKE_COPY_FW_FINISH, success ? 1 : 0, reason);
}

// ---------------------------------------------------------------- UI thread deliveries

void SFirmwareUpdateView::Post(std::unique_ptr<SInvokeArgument> argument) {
    SDispatcher* dispatcher = m_dispatcher != nullptr ? m_dispatcher : SDispatcher::GetInstance();
    if (dispatcher != nullptr && !m_closing.load()) {
        dispatcher->Post(this, std::move(argument));
    }
}

void SFirmwareUpdateView::PostId(int32_t id, int32_t a, int32_t b) {
    auto argument = std::make_unique<FirmwareArgument>(id);
    argument->param = a;
    argument->a = a;
    argument->b = b;
    Post(std::move(argument));
}

void SFirmwareUpdateView::PostError(int32_t id, const base::Error& error) {
    auto argument = std::make_unique<FirmwareArgument>(id);
    argument->param = error.code();
    argument->a = error.code();
    argument->s0 = error.message();
    Post(std::move(argument));
}

void SFirmwareUpdateView::Dispatcher_Invoked(SInvokeArgument* argument) {
    if (argument == nullptr || m_closing.load()) {
        return;
    }
    const auto* record = dynamic_cast<const FirmwareArgument*>(argument);
    const int a = record != nullptr ? record->a : argument->param;
    const int b = record != nullptr ? record->b : 0;
    // An error posted with PostError: its code and words.
    const base::Error error(record != nullptr ? record->s0 : std::string(), a);
    switch (argument->id) {
        case INVOKE_CHECK_UPDATE_FIRMWARE:
            if (record != nullptr) {
                FirmwareOffer offer;
                offer.currentVersion = record->s0;
                offer.newVersion = record->s1;
                offer.sizeText = record->s2;
                offer.shownNotes = record->s3;
                offer.offered = record->a != 0;
                offer.newer = record->b != 0;
                ShowOffer(offer);
            }
            break;
        case INVOKE_INTERNET_UNAVAILABLE:
            OnInternetUnavailableInvoked(error);
            break;
        case INVOKE_COPY_FW_FINISH:
            OnCopyFinishInvoked(a, b);
            break;
        case INVOKE_BLUETOOTH_UNAVAILABLE:
            OnBluetoothUnavailableInvoked(a);
            break;
        case INVOKE_PAIR_LOST:
            OnPairLostInvoked();
            break;
        case INVOKE_DEVICE_LOST:
            OnDeviceLostInvoked();
            break;
        case INVOKE_SHOW_CURRENT_VERSION:
            OnShowCurrentVersionInvoked();
            break;
        case INVOKE_UPDATE_PROGRESS_BAR:
            OnProgressInvoked();
            break;
        case INVOKE_PHASE_CHANGE:
            OnPhaseInvoked(a);
            break;
        case INVOKE_VERSION_MISMATCH:
            OnVersionMismatchInvoked();
            break;
        case INVOKE_PACKAGE_REFUSED:
            OnPackageRefusedInvoked(error);
            break;
        default:
            break;
    }
}

void SFirmwareUpdateView::ShowOffer(const FirmwareOffer& offer) {
    m_checking = false;
    m_sizeText = offer.sizeText;
    m_versionLabel.SetText(AfxGetStrRes("MSG_Version") + ": " + offer.newVersion);
    m_sizeLabel.SetText(AfxGetStrRes("MNU_Size") + ": " +
                        STextLayout::KeepLeftToRight(offer.sizeText));
    m_descriptionLabel.SetText(offer.shownNotes);
    const double width =
        std::max(1.0, (GetSize().width > 0 ? GetSize().width : kFallbackWidth) - 2 * kSide);
    m_notesHeight =
        offer.shownNotes.empty() ? 0 : std::ceil(m_descriptionLabel.MeasureText(width).height);
    _Log(LOG_INFO, "SFirmwareUpdateView::Dispatcher_Invoked", __LINE__,
         "INVOKE_CHECK_UPDATE_FIRMWARE curVersion[%s] newVersion[%s]", offer.currentVersion.c_str(),
         offer.newVersion.c_str());
    if (offer.offered) {
        SetViewState(kStateAvailable);
        return;
    }
    // The badge may have changed with the answer.
    SetViewState(kStateCheck);
    ShowMessage(AfxGetStrRes("MNU_FirmwareUpdateTitle"),
                AfxGetStrRes("MSG_SoftwareUpdateFailDescription2"));
}

void SFirmwareUpdateView::OnProgressInvoked() {
    m_progressPending.store(false);
    const int percent = m_progressPercent.load();
    const uint32_t bytes = m_progressBytes.load();
    _Log(LOG_DEBUG, "SFirmwareUpdateView::Dispatcher_Invoked", __LINE__,
         "Dispatcher_Invoked:INVOKE_UPDATE_PROGRESS_BAR");
    if (m_viewState < kStateDownloading) {
        return;
    }
    m_progressBar.SetPos(percent);
    m_percentLabel.SetText(std::to_string(percent) + "%");
    m_counterLabel.SetText(
        STextLayout::KeepLeftToRight(SUtil::GetStringSizeFromByte(bytes) + "/" + m_sizeText));
}

void SFirmwareUpdateView::OnShowCurrentVersionInvoked() {
    {
        std::lock_guard<std::mutex> guard(m_versionMutex);
        m_currentVersion = m_reportedVersion;
    }
    m_currentVersionLabel.SetText(AfxGetStrRes("MSG_Pelk_CurrentSoftwareVersion") + ": " +
                                  m_currentVersion);
}

void SFirmwareUpdateView::OnPhaseInvoked(int phase) {
    switch (phase) {
        case FirmwareUpdateFlow::PH_DOWNLOAD:
            SetViewState(kStateDownloading);
            break;
        case FirmwareUpdateFlow::PH_DOWNLOAD_COMPLETE:
            // The copy to the earbuds starts: no dialog may stand over it.
            SDialogFrame::CloseAllDialogs();
            break;
        case FirmwareUpdateFlow::PH_COPY:
            m_handledFinishCodes.clear();
            SetViewState(kStateCopying);
            break;
        case FirmwareUpdateFlow::PH_QUIT:
            SetViewState(kStateCheck);
            break;
        default:
            break;
    }
    Invalidate();
}

void SFirmwareUpdateView::OnCopyFinishInvoked(int success, int reason) {
    _Log(LOG_INFO, "SFirmwareUpdateView::Dispatcher_Invoked", __LINE__,
         "Dispatcher_Invoked:INVOKE_COPY_FW_FINISH");
    if (!m_handledFinishCodes.insert(reason).second) {
        return;  // each reason is handled once per transfer
    }
    if (reason == FirmwareUpdateFlow::kReasonRetry) {
        // The flow connects again by itself.
        _Log(LOG_INFO, "SFirmwareUpdateView::Dispatcher_Invoked", __LINE__, "PH_QUIT");
        SetViewState(kStateCheck);
        return;
    }
    BluetoothDevice* device = m_flow ? m_flow->device() : nullptr;
    if (success != 0) {
        SDialogFrame::CloseAllDialogs();
        m_connected.store(false);
        if (m_owner != nullptr) {
            m_owner->ReconnectDevice(device);
        }
        // Modal; the reconnect runs meanwhile.
        ShowMessage(AfxGetStrRes("MNU_FirmwareUpdateTitle"),
                    AfxGetStrRes("MSG_SoftwareUpdateSuccessDescription"));
        if (m_connected.load()) {
            _Log(LOG_INFO, "SFirmwareUpdateView::Dispatcher_Invoked", __LINE__,
                 "Dispatcher_Invoked[INVOKE_COPY_FW_FINISH], Device is reconnected, go to "
                 "homeview");
            SetViewState(kStateCheck);
        } else {
            _Log(LOG_INFO, "SFirmwareUpdateView::Dispatcher_Invoked", __LINE__,
                 "Dispatcher_Invoked[INVOKE_COPY_FW_FINISH], Device is not connected, go to "
                 "connecting view");
            SetViewState(kStateCheck);
            if (m_owner != nullptr) {
                m_owner->UpdateMainView(1);
            }
        }
        return;
    }
    const FirmwareUpdateMessage message = FirmwareUpdateMessage::ForEarbudsRefused(reason);
    ShowMessage(message.title, message.text);
    SetViewState(kStateAvailable);
    if (m_flow) {
        m_flow->ConnectAgain();
    }
}

void SFirmwareUpdateView::OnInternetUnavailableInvoked(const base::Error& error) {
    m_checking = false;
    // Back to the check first: the message is about a finished attempt.
    SetViewState(kStateCheck);
    const FirmwareUpdateMessage message = FirmwareUpdateMessage::ForRequestError(error);
    ShowMessage(message.title, message.text);
}

void SFirmwareUpdateView::OnBluetoothUnavailableInvoked(int cause) {
    const FirmwareUpdateMessage message =
        FirmwareUpdateMessage::ForLinkLoss(static_cast<FlowLinkLoss>(cause));
    ShowMessage(message.title, message.text);
    if (m_owner != nullptr) {
        m_owner->UpdateMainView(0);
    }
}

void SFirmwareUpdateView::OnPairLostInvoked() {
    // The one message of a pair lost during the download; the screen behind it is the
    // connection-failure screen, from where the user connects again.
    SetViewState(kStateCheck);
    if (m_owner != nullptr) {
        m_owner->UpdateMainView(3);
    }
    const FirmwareUpdateMessage message = FirmwareUpdateMessage::ForPairLost();
    ShowMessage(message.title, message.text);
}

void SFirmwareUpdateView::OnDeviceLostInvoked() {
    if (m_owner != nullptr) {
        m_owner->UpdateMainView(3);
    }
}

void SFirmwareUpdateView::OnVersionMismatchInvoked() {
    const int answer = ShowMessage(
        AfxGetStrRes("MNU_FirmwareUpdateTitle"), AfxGetStrRes("MSG_SoftwareVersionMismatch"), 1,
        {AfxGetStrRes("MNU_Zephiro_Update"), AfxGetStrRes("MNU_Zephiro_Cancel")});
    if (answer == kMessageOk) {
        CheckFirmwareVersion();
    }
}

void SFirmwareUpdateView::OnPackageRefusedInvoked(const base::Error& why) {
    // Back to the check: the next try asks the server again (new answer, new size).
    SetViewState(kStateCheck);
    const FirmwareUpdateMessage message = FirmwareUpdateMessage::ForPackageRefused(why);
    ShowMessage(message.title, message.text);
}

int SFirmwareUpdateView::ShowMessage(const std::string& title, const std::string& text, int type,
                                     const std::vector<std::string>& captions) {
    if (m_messageRunner) {
        return m_messageRunner(title, text, type, captions);
    }
    SWindowAgent* agent = GetAgent();
    return SMessageDialog::Show(agent != nullptr ? agent->GetFrame() : nullptr, title, text, type,
                                captions);
}
