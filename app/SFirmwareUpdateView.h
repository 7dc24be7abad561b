#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "flow/FirmwareOffer.h"
#include "flow/IFirmwareUpdateFlowDelegate.h"
#include "link/DeviceStatus.h"
#include "link/IBluetoothHandleDelegate.h"
#include "services/WebApiData.h"
#include "ui/IButtonDelegate.h"
#include "ui/IDispatcherInvokeDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SCommonProgressBar.h"
#include "ui/SCustomSView.h"
#include "ui/SLabel.h"
#include "ui/SPanel.h"

class BluetoothDevice;
class BluetoothHandle;
class FirmwareUpdateFlow;
class IMainViewDelegate;
class SDispatcher;

// The firmware update screen, the lower part of the home screen. State 0 shows the earbuds'
// version, the date of the last update and the check button; the check asks the update server
// (SCheckFWVersionPopup) and state 1 shows what the new firmware brings with the update button;
// states 2 and 3 show the progress of the download and of the copy to the earbuds. The update
// itself is FirmwareUpdateFlow's: this screen shows what it reports and asks the questions.
//
// Threads: the flow and this screen receive the link's events themselves, on the link's
// threads; the flow's events arrive on worker threads. What they change on the screen is posted
// through the dispatcher and shown on the UI thread in posting order. Everything else runs on
// the UI thread.
class SFirmwareUpdateView : public SCustomSView,
                            public IButtonDelegate,
                            public IDispatcherInvokeDelegate,
                            public IBluetoothHandleDelegate,
                            public IFirmwareUpdateFlowDelegate {
public:
    static constexpr int32_t INVOKE_CHECK_UPDATE_FIRMWARE = 0x0166E888;
    static constexpr int32_t INVOKE_INTERNET_UNAVAILABLE = 0x0166E889;
    static constexpr int32_t INVOKE_COPY_FW_FINISH = 0x0166E88A;
    static constexpr int32_t INVOKE_BLUETOOTH_UNAVAILABLE = 0x0166E88B;
    static constexpr int32_t INVOKE_DEVICE_LOST = 0x0166E88C;
    static constexpr int32_t INVOKE_SHOW_CURRENT_VERSION = 0x0166E88E;
    static constexpr int32_t INVOKE_UPDATE_PROGRESS_BAR = 0x0166E88F;
    // Worker-thread decisions that change the screen, carried to the UI thread.
    static constexpr int32_t INVOKE_PHASE_CHANGE = 0x0166E890;
    static constexpr int32_t INVOKE_VERSION_MISMATCH = 0x0166E891;
    static constexpr int32_t INVOKE_PACKAGE_REFUSED = 0x0166E892;
    static constexpr int32_t INVOKE_PAIR_LOST = 0x0166E893;

    enum ViewState : int {
        kStateCheck = 0,
        kStateAvailable = 1,
        kStateDownloading = 2,
        kStateCopying = 3,
    };

    static constexpr uint32_t kBackground = 0xF5F5F5;
    static constexpr uint32_t kVersionColour = 0x999999;
    static constexpr uint32_t kBadgeColour = 0x0D6AF5;
    static constexpr double kBadgeSize = 8;
    static constexpr double kBadgeGap = 4;
    static constexpr double kDownloadHeight = 135;
    static constexpr double kDownloadProgressHeight = 118;
    static constexpr double kExtentAvailable = 261;
    static constexpr double kExtentProgress = 244;

    // Shows a message dialog (title, text, type, button captions) and returns the result of the
    // button pressed. The default is the toolkit's message dialog over the main window.
    using MessageRunner = std::function<int(const std::string&, const std::string&, int,
                                            const std::vector<std::string>&)>;
    // Runs the version check and returns the server's answer, or nothing when it failed. The
    // default runs SCheckFWVersionPopup over the main window.
    using VersionCheckRunner = std::function<std::optional<WEBAPI_FIRMWARE_VERSION>()>;

    SFirmwareUpdateView();
    ~SFirmwareUpdateView() override;
    const char* GetClassName() const override { return "SFirmwareUpdateView"; }

    // The link the update runs over: creates the update flow and subscribes it, then this
    // screen, to the link's events. UI thread, once.
    void SetBluetoothHandle(BluetoothHandle* link);
    // Unsubscribes both from the link and ends the flow (a running download is cancelled, its
    // threads joined) before the link and this screen go. UI thread; called by the owner while
    // shutting down.
    void Shutdown();
    // Whether a lost link is for this screen to show now (link threads ask it). The owner's own
    // connect flow decides about a link lost before its home screen is shown. Unset: always.
    void SetLinkLossShown(std::function<bool()> shown);
    void SetMainViewDelegate(IMainViewDelegate* owner) { m_owner = owner; }
    void SetMessageRunner(MessageRunner runner) { m_messageRunner = std::move(runner); }
    void SetVersionCheckRunner(VersionCheckRunner runner) { m_versionRunner = std::move(runner); }
    FirmwareUpdateFlow* GetFlow() const { return m_flow.get(); }

    // The check button's action (also the mismatch question's update answer). UI thread.
    void CheckFirmwareVersion();
    // The update button's action. UI thread.
    void StartUpdate();
    // UI thread.
    void SetViewState(int state);
    // Shows an offer of the version check: state 1 when it is offered, else the not-newer
    // message in state 0. UI thread.
    void ShowOffer(const FirmwareOffer& offer);
    int GetViewState() const { return m_viewState; }

    // ---- IBluetoothHandleDelegate (link threads): whether the earbuds are back after an
    // update, and the earbuds' request for an update
    void OnDeviceConnected(bool isConnected, BluetoothDevice* device) override;
    void OnDeviceVersionMismatch() override;

    // ---- IFirmwareUpdateFlowDelegate (worker threads)
    void OnFlowCurrentVersion(const std::string& current) override;
    void OnFlowPhaseChange(int phase) override;
    void OnFlowDownloadProgress(int percent, uint64_t bytes) override;
    void OnFlowTransferProgress(int percent, uint64_t bytes) override;
    void OnFlowInternetUnavailable(const base::Error& error) override;
    void OnFlowBluetoothUnavailable(FlowLinkLoss cause) override;
    void OnFlowDeviceLost() override;
    void OnFlowPairLost() override;
    void OnFlowPackageRefused(const base::Error& why) override;
    void OnFlowFinish(bool success, int reason) override;

    // ---- IButtonDelegate, IDispatcherInvokeDelegate
    void ButtonClicked(SButton* button) override;
    void Dispatcher_Invoked(SInvokeArgument* argument) override;

    // ---- SWindowBase
    void OnCreate() override;
    void OnPaint(SDC& dc) override;
    void OnSize(double width, double height) override;
    void OnVisibleChanged(int visible) override;

    // ---- widgets and state, for the home screen and tests (UI thread)
    SPanel& GetCheckPanel() { return m_checkPanel; }
    SPanel& GetDownloadPanel() { return m_downloadPanel; }
    SPanel& GetProgressPanel() { return m_progressPanel; }
    SPanel& GetDescriptionPanel() { return m_descriptionPanel; }
    SPanel& GetCautionPanel() { return m_cautionPanel; }
    SPanel& GetBadge() { return m_badge; }
    SLabel& GetLastUpdateLabel() { return m_lastUpdateLabel; }
    SLabel& GetCurrentVersionLabel() { return m_currentVersionLabel; }
    SLabel& GetAvailableLabel() { return m_availableLabel; }
    SLabel& GetVersionLabel() { return m_versionLabel; }
    SLabel& GetSizeLabel() { return m_sizeLabel; }
    SLabel& GetPercentLabel() { return m_percentLabel; }
    SLabel& GetCounterLabel() { return m_counterLabel; }
    SLabel& GetDescriptionLabel() { return m_descriptionLabel; }
    SLabel& GetCautionDetailLabel() { return m_cautionDetailLabel; }
    SCommonButton& GetCheckButton() { return m_checkButton; }
    SCommonButton& GetUpdateButton() { return m_updateButton; }
    SCommonProgressBar& GetProgressBar() { return m_progressBar; }
    double GetNotesHeight() const { return m_notesHeight; }
    const std::string& GetCurrentVersion() const { return m_currentVersion; }
    int GetNotify() const { return m_notify; }

private:
    bool LinkLossShown() const;
    void CreateCheckPanel();
    void CreateDownloadPanel();
    void CreateDescriptionPanels();
    void PlaceBadge();
    void LayoutState();
    // Lets the state's title wrap when one line cannot hold it; returns the height it adds.
    double FitTitle();
    void RefreshLastUpdate();
    void Post(std::unique_ptr<SInvokeArgument> argument);
    void PostId(int32_t id, int32_t a = 0, int32_t b = 0);
    // Posts id with the error's code as a and its words as s0.
    void PostError(int32_t id, const base::Error& error);
    int ShowMessage(const std::string& title, const std::string& text, int type = 0,
                    const std::vector<std::string>& captions = {});
    std::optional<WEBAPI_FIRMWARE_VERSION> RunVersionCheck();
    void StoreProgress(int percent, uint64_t bytes);

    // Invocations on the UI thread.
    void OnProgressInvoked();
    void OnShowCurrentVersionInvoked();
    void OnCopyFinishInvoked(int success, int reason);
    // error: the web API's code; each cause (a refused temporary folder included) has its own
    // message.
    void OnInternetUnavailableInvoked(const base::Error& error);
    void OnBluetoothUnavailableInvoked(int cause);
    void OnDeviceLostInvoked();
    void OnPairLostInvoked();
    void OnPhaseInvoked(int phase);
    void OnVersionMismatchInvoked();
    void OnPackageRefusedInvoked(const base::Error& why);

    IMainViewDelegate* m_owner = nullptr;
    BluetoothHandle* m_link = nullptr;
    SDispatcher* m_dispatcher = nullptr;
    std::function<bool()> m_linkLossShown;
    MessageRunner m_messageRunner;
    VersionCheckRunner m_versionRunner;

    SPanel m_checkPanel;
    SLabel m_lastUpdateLabel;
    SLabel m_currentVersionLabel;
    SCommonButton m_checkButton;
    SPanel m_badge;

    SPanel m_downloadPanel;
    SLabel m_availableLabel;
    SLabel m_versionLabel;
    SLabel m_sizeLabel;
    SCommonButton m_updateButton;
    SPanel m_progressPanel;
    SCommonProgressBar m_progressBar;
    SLabel m_percentLabel;
    SLabel m_counterLabel;

    SPanel m_descriptionPanel;
    SLabel m_whatsNewLabel;
    SLabel m_descriptionLabel;
    SPanel m_cautionPanel;
    SLabel m_cautionTitleLabel;
    SLabel m_cautionDetailLabel;

    // UI thread.
    int m_viewState = kStateCheck;
    int m_notify = 0;
    double m_notesHeight = 0;
    std::string m_currentVersion;
    std::string m_sizeText;
    std::set<int> m_handledFinishCodes;
    bool m_checking = false;
    bool m_checkCancelled = false;
    // The error of the last version check that failed (WEBAPI_ERROR_CODE or an HTTP status).
    base::Error m_checkError;

    // Written by worker threads, read on the UI thread.
    mutable std::mutex m_versionMutex;
    std::string m_reportedVersion;
    std::atomic<int> m_progressPercent{0};
    std::atomic<uint32_t> m_progressBytes{0};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_progressPending{false};
    std::atomic<bool> m_closing{false};

    // The size request of a new offer runs here, off the UI thread.
    std::thread m_offerThread;
    // Last: destroyed first, so its threads end before anything they reach.
    std::unique_ptr<FirmwareUpdateFlow> m_flow;
};
