#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/DesktopCompanion.h"
#include "app/EarbudsBatteryIndicator.h"
#include "app/IMainViewDelegate.h"
#include "app/SConnectingView.h"
#include "app/SDeviceFailView.h"
#include "app/SDummyView.h"
#include "app/SHomeView.h"
#include "link/IBluetoothHandleDelegate.h"
#include "platform/Event.h"
#include "platform/InFlightGate.h"
#include "ui/IButtonDelegate.h"
#include "ui/IDispatcherInvokeDelegate.h"
#include "ui/STextButton.h"
#include "ui/SWindowBase.h"

class BluetoothHandle;
class SBluetoothDevicesPopup;
class SDispatcher;
class SItemList;

// The screen controller of the main window's content area. It owns the welcome, connecting,
// failure and home screens and shows one at a time; it drives the device link through a whole
// connection (support check, discovery, the device list when several pairs are in range,
// connecting, the first status report) as one of the link's receivers; the firmware update
// screen and its flow are receivers of their own.
//
// Threads: link events arrive on the link's threads. Every screen change and display update
// they decide is posted through the dispatcher and applied on the UI thread in posting order;
// everything else here runs on the UI thread.
class SMainView : public SWindowBase,
                  public IMainViewDelegate,
                  public IButtonDelegate,
                  public IBluetoothHandleDelegate,
                  public IDispatcherInvokeDelegate {
public:
    enum ViewType : int {
        kViewWelcome = 0,
        kViewConnecting = 1,
        kViewOneSideFailure = 2,
        kViewConnectFailure = 3,
        kViewHome = 4,
    };

    static constexpr int32_t INVOKE_DEVICE_FIND_CHANGE = 0x01FF7F0A;
    static constexpr int32_t INVOKE_CHECK_BLUETOOTH = 0x01FF7F0B;
    // Decisions of the link's threads carried to the UI thread.
    static constexpr int32_t INVOKE_UPDATE_MAIN_VIEW = 0x01FF7F0C;
    static constexpr int32_t INVOKE_SET_DEVICE = 0x01FF7F0D;
    static constexpr int32_t INVOKE_DEVICE_STATUS = 0x01FF7F0E;

    static constexpr double kScreenTop = 32;
    static constexpr double kAboutBottom = 5;
    static constexpr int kAboutFont = 109;
    static constexpr uint32_t kAboutColour = 0x999999;
    // A device is unpaired at this many consecutive failed connections.
    static constexpr int kFailuresBeforeUnpair = 3;

    // Pauses and bounds; tests shorten them.
    struct Timings {
        using ms = std::chrono::milliseconds;
        // How long a connected pair may take to send its first status report.
        ms firstStatusLimit{15000};
        // The reconnect thread waits for the earbuds to restart (100 x 70 ms), then settles.
        ms reconnectRestartPause{7000};
        ms reconnectSettlePause{300};
        ms reconnectRetryPause{300};
        // How long the reconnect thread waits for one connect result before it asks again.
        ms reconnectResultLimit{60000};
    };

    // Runs the device list modally and returns the "BluetoothKey" of the chosen item, or
    // nothing when the user chose none. The default runs the dialog over the main window.
    using PopupRunner = std::function<std::optional<std::string>(SBluetoothDevicesPopup&)>;
    // Shows a message (title, text) modally. The default is the toolkit's message dialog.
    using MessageRunner = std::function<void(const std::string&, const std::string&)>;

    SMainView();
    ~SMainView() override;
    const char* GetClassName() const override { return "SMainView"; }

    // The link to drive; before Create. Without one the process-wide link is used.
    void SetBluetoothHandle(BluetoothHandle* link) { m_link = link; }
    BluetoothHandle* GetBluetoothHandle() const { return m_link; }
    void SetTimings(const Timings& timings) { m_timings = timings; }
    void SetPopupRunner(PopupRunner runner) { m_popupRunner = std::move(runner); }
    void SetMessageRunner(MessageRunner runner) { m_messageRunner = std::move(runner); }
    // Opens the about dialog for the about button (the main window's, which marks the update
    // button from its check); without one the dialog opens over the view's frame on its own.
    void SetAboutOpener(std::function<void()> opener) { m_aboutOpener = std::move(opener); }

    // ---- IMainViewDelegate
    void UpdateMainView(int viewType) override;
    void OnConnectButtonClick() override;
    void ReconnectDevice(BluetoothDevice* device) override;

    // Closes the link to the connected pair and runs the connect flow again (search, the
    // device list when several pairs are in range, connect), so the user can change pairs
    // without restarting. Does nothing while CanChooseOtherEarbuds is false. UI thread.
    void ChooseOtherEarbuds();
    // False while a firmware update runs (download, transfer, or the reconnect after it) and
    // while a search or connection is already under way. UI thread.
    bool CanChooseOtherEarbuds();

    // ---- IButtonDelegate
    void ButtonClicked(SButton* button) override;

    // ---- IBluetoothHandleDelegate (link threads)
    void OnDeviceStatusChange(DeviceStatus status) override;
    void OnDeviceConnected(bool isConnected, BluetoothDevice* device) override;
    void OnDeviceDisconnected(int DisconnectError) override;
    void OnDownloadProgressChange(int percent, uint64_t bytes) override;
    void OnDownloadFinish(bool success, int errorCode) override;
    void OnCheckBluetoothResponse(bool isSupport) override;
    void OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) override;

    // ---- IDispatcherInvokeDelegate
    void Dispatcher_Invoked(SInvokeArgument* argument) override;

    // ---- SWindowBase
    void OnCreate() override;
    void OnDestroy() override;

    // The reconnect thread's body.
    static void ThreadReconnectDevice(SMainView* view, BluetoothDevice* device);

    // ---- state, for the frame and tests
    // The screen last decided on (link threads decide before the UI thread shows it).
    int GetViewType() const { return m_viewType.load(); }
    // The screen the UI thread last showed. UI thread only.
    int GetShownViewType() const { return m_shownViewType; }
    int GetTwsStatus() const { return m_twsStatus.load(); }
    bool IsFindPending() const { return m_findPending.load(); }
    bool IsReconnectRunning() const { return m_reconnectRunning.load(); }
    std::map<uint64_t, int> GetFailureCounts() const;
    SItemList* GetDeviceItems() const { return m_deviceItems.get(); }
    SBluetoothDevicesPopup* GetDevicesPopup() const { return m_devicesPopup; }
    SDummyView& GetDummyView() { return m_dummyView; }
    SConnectingView& GetConnectingView() { return m_connectingView; }
    SDeviceFailView& GetFailView() { return m_failView; }
    SHomeView& GetHomeView() { return m_homeView; }
    STextButton& GetAboutButton() { return m_aboutButton; }
    // The tray item and notices (inert until the program enables it).
    DesktopCompanion& GetDesktopCompanion() { return m_desktop; }

private:
    SFirmwareUpdateView& FirmwareView();
    void CreateAboutButton();
    void OnCheckBluetoothInvoked(int supported);
    void OnDeviceFindChangeInvoked();
    void ShowBluetoothDevicesPopup();
    std::optional<std::string> RunDevicesPopup(SBluetoothDevicesPopup& popup);
    BluetoothDevice* FindDeviceByKey(const std::string& key) const;
    // Asks the link to connect; a status report from here on counts as the first one.
    void RequestConnect(BluetoothDevice* device);
    // Waits (bounded) for a status report newer than the last connect request.
    bool WaitFirstStatus();
    void HandleReconnectResult(bool isConnected, BluetoothDevice* device);
    void CountFailure(BluetoothDevice* device);
    void ClearFailures();
    // From a link thread: the screen to show, applied on the UI thread in order.
    void PostViewChange(int viewType);
    void PostDevice(BluetoothDevice* device);
    void Post(std::unique_ptr<SInvokeArgument> argument);
    void ApplyView(int viewType);
    // The screen of each view type, indexed by it; both failure kinds share one screen.
    std::array<SWindowBase*, kViewHome + 1> Screens();
    void ShowMessage(const std::string& title, const std::string& text);
    void SleepUnlessClosing(std::chrono::milliseconds pause);

    SDummyView m_dummyView;
    SConnectingView m_connectingView;
    SDeviceFailView m_failView;
    SHomeView m_homeView;
    STextButton m_aboutButton;

    BluetoothHandle* m_link = nullptr;
    // The earbuds' battery in the desktop's own indicator (BlueZ only).
    EarbudsBatteryIndicator m_batteryIndicator;
    DesktopCompanion m_desktop;
    SDispatcher* m_dispatcher = nullptr;
    Timings m_timings;
    PopupRunner m_popupRunner;
    MessageRunner m_messageRunner;
    std::function<void()> m_aboutOpener;

    // The last screen asked for (UI thread) or decided (link threads).
    std::atomic<int> m_viewType{kViewWelcome};
    int m_shownViewType = kViewWelcome;
    SBluetoothDevicesPopup* m_devicesPopup = nullptr;  // UI thread
    std::unique_ptr<SItemList> m_deviceItems;
    mutable std::mutex m_devicesMutex;  // guards m_foundDevices and creating m_deviceItems
    std::map<uint64_t, BluetoothDevice*> m_foundDevices;
    mutable std::mutex m_failuresMutex;
    std::map<uint64_t, int> m_failureCounts;

    std::atomic<int> m_twsStatus{0};
    platform::Event m_statusEvent{platform::Event::Reset::Auto};  // "_hWaitDeviceStatus"
    std::atomic<uint64_t> m_statusReports{0};
    std::atomic<uint64_t> m_statusReportsAtConnect{0};
    // Links lost, counted so that the wait for a first status ends as soon as the link gives up.
    std::atomic<uint64_t> m_linkLosses{0};
    std::atomic<uint64_t> m_linkLossesAtConnect{0};
    platform::Event m_reconnectEvent{platform::Event::Reset::Auto};  // "WAIT_RECONNECT"
    std::atomic<bool> m_reconnectRunning{false};
    std::atomic<bool> m_reconnectConnected{false};
    std::atomic<bool> m_findPending{false};

    // Shutting down: link threads inside this view leave, the reconnect thread ends.
    std::atomic<bool> m_closing{false};
    // The reconnect thread is inside the view; OnDestroy waits until it has left. (The link
    // waits for its own events to this view when the view unsubscribes.)
    platform::InFlightGate m_threadsInside;
    platform::Event m_stopEvent{platform::Event::Reset::Manual};
};
