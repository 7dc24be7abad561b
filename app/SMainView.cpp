#include "app/SMainView.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <thread>

#include "app/SAboutDialog.h"
#include "app/SBluetoothDevicesPopup.h"
#include "base/Log.h"
#include "flow/FirmwareUpdateFlow.h"
#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "platform/Thread.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SInvokeArgument.h"
#include "ui/SItem.h"
#include "ui/SItemList.h"
#include "ui/SMessageDialog.h"
#include "ui/SWindowAgent.h"
#include "ui/SWindowFrame.h"
#include "ui/TextFlags.h"

namespace {

constexpr auto kShutdownLimit = std::chrono::seconds(10);

// A device's key in the item list: its address as an unsigned decimal number.
std::string DeviceKey(uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof(text), "%" PRIu64, address);
    return text;
}

const char* DeviceName(const BluetoothDevice* device) {
    return device != nullptr ? device->name.c_str() : "";
}

// The device a connect result names, for the home screen's picture and title.
struct DeviceArgument : SInvokeArgument {
    DeviceArgument(std::string deviceName, std::string deviceModel)
        : SInvokeArgument(SMainView::INVOKE_SET_DEVICE, 0),
          name(std::move(deviceName)),
          model(std::move(deviceModel)) {}
    std::string name;
    std::string model;
};

struct StatusArgument : SInvokeArgument {
    explicit StatusArgument(const DeviceStatus& deviceStatus)
        : SInvokeArgument(SMainView::INVOKE_DEVICE_STATUS, 0), status(deviceStatus) {}
    DeviceStatus status;
};

}  // namespace

SMainView::SMainView() : m_deviceItems(std::make_unique<SItemList>()) {}

SMainView::~SMainView() {
    OnDestroy();
}

// ---------------------------------------------------------------- creation and destruction

void SMainView::OnCreate() {
    m_dispatcher = SDispatcher::GetInstance();
    const SMargin screen(0, kScreenTop, 0, 0);
    m_dummyView.Create("Dummy View", this, screen, SSize(), 0);
    m_homeView.Create("_homeView", this, screen, SSize(), 0);
    m_connectingView.Create("_connectingView", this, screen, SSize(), 0);
    m_failView.Create("_failView", this, screen, SSize(), 0);
    m_dummyView.SetMainViewDelegate(this);
    m_homeView.SetMainViewDelegate(this);
    m_connectingView.SetMainViewDelegate(this);
    m_failView.SetMainViewDelegate(this);
    CreateAboutButton();

    UpdateMainView(kViewWelcome);

    if (m_link == nullptr) {
        m_link = BluetoothHandle::GetInstance();
    }
    // The update flow hears each link event before this view does, as it did when this view
    // passed the events on: it knows the connected pair before the wait for its first status.
    FirmwareView().SetBluetoothHandle(m_link);
    // Before home is shown, a lost link is this view's to handle (its wait for the first
    // status), not the firmware screen's.
    FirmwareView().SetLinkLossShown(
        [this] { return !m_closing.load() && m_viewType.load() == kViewHome; });
    m_link->addReceiver(this);

    EnvironVar::SetIsNotifyUpdateFW(0);
    EnvironVar::SetUpdateFWStatus(1);
}

void SMainView::CreateAboutButton() {
    const std::string text = AfxGetStrRes("MNU_AboutPCProgram");
    const unsigned format = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    const SSize measured = SDC::MeasureText(text, kAboutFont, format, 0);
    m_aboutButton.SetText(text);
    m_aboutButton.SetFont(kAboutFont);
    m_aboutButton.SetTextColor(kAboutColour);
    m_aboutButton.SetTextFormat(format);
    m_aboutButton.SetDelegate(this);
    // Centred across, 5 units above the bottom edge.
    m_aboutButton.Create("About PC Program Button", this, SMargin(-1, -1, -1, kAboutBottom),
                         SSize(std::ceil(measured.width) + 2, std::ceil(measured.height) + 2));
}

void SMainView::OnDestroy() {
    if (m_closing.exchange(true)) {
        return;
    }
    // Wake the waits inside link events first: unsubscribing waits for those events to return.
    m_stopEvent.signal();
    m_statusEvent.signal();
    m_reconnectEvent.signal();
    if (m_link != nullptr) {
        m_link->removeReceiver(this);
    }
    if (!m_threadsInside.closeAndWait(kShutdownLimit)) {
        _Log(LOG_WARNING, "SMainView::OnDestroy", __LINE__, "%d link threads still inside the view",
             m_threadsInside.inFlight());
    }
    // No link thread is inside the view any more: the update flow can end now.
    FirmwareView().Shutdown();
}

// ---------------------------------------------------------------- screens

void SMainView::UpdateMainView(int viewType) {
    _Log(LOG_INFO, "SMainView::UpdateMainView", __LINE__, "UpdateMainView viewType[%d]", viewType);
    if ((viewType == kViewOneSideFailure || viewType == kViewConnectFailure) && m_link != nullptr &&
        m_shownViewType != viewType) {
        // A failure screen ends the attempt: the link is closed now, so the next connect starts
        // from a closed link instead of finding the earbuds still held by this one.
        m_link->DisConnectToDevice();
    }
    m_viewType.store(viewType);
    ApplyView(viewType);
    m_shownViewType = viewType;
}

std::array<SWindowBase*, SMainView::kViewHome + 1> SMainView::Screens() {
    return {&m_dummyView, &m_connectingView, &m_failView, &m_failView, &m_homeView};
}

void SMainView::ApplyView(int viewType) {
    if (viewType >= kViewWelcome && viewType <= kViewHome) {
        const auto screens = Screens();
        SWindowBase* shown = screens[static_cast<std::size_t>(viewType)];
        if (shown == &m_failView) {
            m_failView.SetFailKind(viewType);
        }
        // Hide first, so two screens never fade in at once.
        for (SWindowBase* screen : screens) {
            if (screen != shown) {
                screen->SetVisible(0);
            }
        }
        shown->SetVisible(1);
    }
    Invalidate();
}

void SMainView::ButtonClicked(SButton* button) {
    if (button == &m_aboutButton && m_aboutOpener) {
        m_aboutOpener();
    } else if (button == &m_aboutButton) {
        SWindowAgent* agent = GetAgent();
        SAboutDialog::ShowFor(agent != nullptr ? agent->GetFrame() : nullptr);
    }
}

void SMainView::ShowMessage(const std::string& title, const std::string& text) {
    if (m_messageRunner) {
        m_messageRunner(title, text);
        return;
    }
    SWindowAgent* agent = GetAgent();
    SMessageDialog::Show(agent != nullptr ? agent->GetFrame() : nullptr, title, text, 0);
}

// ---------------------------------------------------------------- connect command

void SMainView::OnConnectButtonClick() {
    _Log(LOG_INFO, "SMainView::OnConnectButtonClick", __LINE__, "OnConnectButtonClick");
    m_findPending.store(false);
    UpdateMainView(kViewConnecting);
    m_link->CheckSupportBluetooth();
}

bool SMainView::CanChooseOtherEarbuds() {
    SFirmwareUpdateView& firmware = FirmwareView();
    const int updateState = firmware.GetViewState();
    const FirmwareUpdateFlow* flow = firmware.GetFlow();
    const bool updating = updateState == SFirmwareUpdateView::kStateDownloading ||
                          updateState == SFirmwareUpdateView::kStateCopying ||
                          (flow != nullptr && flow->busy()) || m_reconnectRunning.load();
    return !updating && m_shownViewType != kViewConnecting;
}

void SMainView::ChooseOtherEarbuds() {
    if (!CanChooseOtherEarbuds()) {
        _Log(LOG_INFO, "SMainView::ChooseOtherEarbuds", __LINE__,
             "Not now: an update or a connection is under way");
        return;
    }
    _Log(LOG_INFO, "SMainView::ChooseOtherEarbuds", __LINE__,
         "Closing the link to the connected pair to choose other earbuds");
    // The connecting screen first: the closed link's last events then reach no home screen.
    m_findPending.store(false);
    UpdateMainView(kViewConnecting);
    m_batteryIndicator.OnDisconnected();
    m_link->DisConnectToDevice();
    // Nothing the screen showed for the previous pair carries over to the next.
    FirmwareView().SetViewState(SFirmwareUpdateView::kStateCheck);
    m_link->CheckSupportBluetooth();
}

void SMainView::OnCheckBluetoothResponse(bool isSupport) {
    _Log(LOG_WARNING, "SMainView::OnCheckBluetoothResponse", __LINE__,
         "OnCheckBluetoothResponse isSupport[%d]", isSupport ? 1 : 0);
    Post(std::make_unique<SInvokeArgument>(INVOKE_CHECK_BLUETOOTH, isSupport ? 1 : 0));
}

void SMainView::OnCheckBluetoothInvoked(int supported) {
    if (supported == 1) {
        m_link->StartFindDevice();
        return;
    }
    UpdateMainView(kViewWelcome);
    ShowMessage(AfxGetStrRes("MNU_BluetoothUnavailable"),
                AfxGetStrRes("MSG_BluetoothUnavailableDescription"));
}

// ---------------------------------------------------------------- device set

void SMainView::OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) {
    _Log(LOG_INFO, "SMainView::OnDeviceFindChange", __LINE__, "OnDeviceFindChange: Count[%d]",
         static_cast<int>(devices.size()));
    if (m_closing.load() || m_findPending.exchange(true)) {
        // The next report carries the whole set again.
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_devicesMutex);
        m_foundDevices = devices;
        std::vector<SItem> items;
        for (const auto& [address, device] : m_foundDevices) {
            SItem item;
            item.SetValue("BluetoothName", DeviceName(device));
            item.SetValue("BluetoothKey", DeviceKey(address));
            items.push_back(std::move(item));
        }
        // One refill, so the open list never sees it half done.
        m_deviceItems->Assign(std::move(items));
    }
    Post(std::make_unique<SInvokeArgument>(INVOKE_DEVICE_FIND_CHANGE, 0));
}

void SMainView::OnDeviceFindChangeInvoked() {
    m_findPending.store(false);
    if (m_devicesPopup != nullptr) {
        _Log(LOG_INFO, "SMainView::OnDeviceFindChangeInvoked", __LINE__,
             "Devices Popup is show, update list device only");
        m_devicesPopup->RefreshList();
        return;
    }
    // A report that was already queued when the search ended (the list was closed, or a
    // connection was asked for) starts nothing.
    if (m_viewType.load() != kViewConnecting || !m_link->flags().finding.load()) {
        _Log(LOG_INFO, "SMainView::OnDeviceFindChangeInvoked", __LINE__,
             "Search has ended, device list ignored");
        return;
    }
    BluetoothDevice* only = nullptr;
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> guard(m_devicesMutex);
        count = m_foundDevices.size();
        if (count == 1) {
            only = m_foundDevices.begin()->second;
        }
    }
    if (count == 1) {
        _Log(LOG_INFO, "SMainView::OnDeviceFindChangeInvoked", __LINE__,
             "Device count = 1, Connect to deivice now");
        m_link->StopFindDevice();
        RequestConnect(only);
    } else if (count > 1) {
        ShowBluetoothDevicesPopup();
    }
}

void SMainView::ShowBluetoothDevicesPopup() {
    _Log(LOG_INFO, "SMainView::ShowBluetoothDevicesPopup", __LINE__, "ShowBluetoothDevicesPopup");
    SBluetoothDevicesPopup popup;
    popup.SetBluetoothHandle(m_link);
    popup.SetItemList(m_deviceItems.get());
    m_devicesPopup = &popup;
    const std::optional<std::string> chosen = RunDevicesPopup(popup);
    m_devicesPopup = nullptr;
    if (m_closing.load()) {
        return;
    }
    if (!chosen.has_value()) {
        m_link->StopFindDevice();
        UpdateMainView(kViewWelcome);
        return;
    }
    BluetoothDevice* device = FindDeviceByKey(*chosen);
    if (device == nullptr) {
        // The device left the set while the list was open; the search goes on.
        _Log(LOG_INFO, "SMainView::ShowBluetoothDevicesPopup", __LINE__,
             "Chosen device [%s] is no longer found", chosen->c_str());
        return;
    }
    m_link->StopFindDevice();
    RequestConnect(device);
}

std::optional<std::string> SMainView::RunDevicesPopup(SBluetoothDevicesPopup& popup) {
    if (m_popupRunner) {
        return m_popupRunner(popup);
    }
    SWindowAgent* agent = GetAgent();
    popup.DoModal(agent != nullptr ? agent->GetFrame() : nullptr);
    const SItem* item = popup.GetChosenItem();
    if (item == nullptr) {
        return std::nullopt;
    }
    return item->GetValue("BluetoothKey");
}

BluetoothDevice* SMainView::FindDeviceByKey(const std::string& key) const {
    std::lock_guard<std::mutex> guard(m_devicesMutex);
    for (const auto& [address, device] : m_foundDevices) {
        if (DeviceKey(address) == key) {
            return device;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------- connecting

void SMainView::RequestConnect(BluetoothDevice* device) {
    m_statusReportsAtConnect.store(m_statusReports.load());
    m_linkLossesAtConnect.store(m_linkLosses.load());
    m_link->ConnectToDevice(device);
}

void SMainView::OnDeviceStatusChange(DeviceStatus status) {
    m_batteryIndicator.OnStatus(status);
    m_desktop.OnStatus(status);
    m_twsStatus.store(status.twsStatus);
    m_statusReports.fetch_add(1);
    m_statusEvent.signal();
    if (!m_closing.load()) {
        Post(std::make_unique<StatusArgument>(status));
    }
}

bool SMainView::WaitFirstStatus() {
    const uint64_t before = m_statusReportsAtConnect.load();
    const uint64_t lossesBefore = m_linkLossesAtConnect.load();
    const auto deadline = std::chrono::steady_clock::now() + m_timings.firstStatusLimit;
    while (m_statusReports.load() == before) {
        const auto now = std::chrono::steady_clock::now();
        if (m_closing.load() || now >= deadline) {
            return false;
        }
        // The link has given the pair up: no status can come any more.
        if (m_linkLosses.load() != lossesBefore) {
            _Log(LOG_WARNING, "SMainView::WaitFirstStatus", __LINE__,
                 "The link was lost before the first status");
            return false;
        }
        m_statusEvent.wait(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    }
    return true;
}

void SMainView::OnDeviceConnected(bool isConnected, BluetoothDevice* device) {
    _Log(LOG_INFO, "SMainView::OnDeviceConnected", __LINE__,
         "OnDeviceConnected: isConnected[%d] IsRunThreadReconnect[%d]", isConnected ? 1 : 0,
         m_reconnectRunning.load() ? 1 : 0);
    if (isConnected && device != nullptr) {
        m_batteryIndicator.OnConnected(device->address);
        m_desktop.OnConnected(*device);
    } else {
        m_batteryIndicator.OnDisconnected();
    }
    if (m_closing.load()) {
        return;
    }
    if (m_reconnectRunning.load()) {
        HandleReconnectResult(isConnected, device);
        return;
    }
    if (isConnected) {
        _Log(LOG_INFO, "SMainView::OnDeviceConnected", __LINE__,
             "isConnected[%d], wait device status change", 1);
        PostDevice(device);
        if (!WaitFirstStatus()) {
            if (m_closing.load()) {
                return;
            }
            // A pair that never reports is of no use connected; the user can try again.
            _Log(LOG_WARNING, "SMainView::OnDeviceConnected", __LINE__,
                 "No status from device[%s] within %lld ms", DeviceName(device),
                 static_cast<long long>(m_timings.firstStatusLimit.count()));
            if (m_viewType.load() != kViewHome) {
                m_link->DisConnectToDevice();
                PostViewChange(kViewConnectFailure);
            }
            return;
        }
    }
    if (m_viewType.load() == kViewHome) {
        // Only the firmware update screen follows connect results while home is shown.
        return;
    }
    if (isConnected) {
        const int tws = m_twsStatus.load();
        _Log(LOG_INFO, "SMainView::OnDeviceConnected", __LINE__,
             "Connected to device[%s] TWSStatus[%d]", DeviceName(device), tws);
        PostViewChange(tws == 1 ? kViewHome : kViewOneSideFailure);
        ClearFailures();
        return;
    }
    PostViewChange(kViewConnectFailure);
    if (m_link != nullptr && m_link->lastConnectError() == EBUSY) {
        // The device is busy (our previous link still closing, or another program holding it):
        // nothing is wrong with the pairing, so unpairing would not help.
        _Log(LOG_INFO, "SMainView::OnDeviceConnected", __LINE__,
             "device[%s] is busy; not counted as a failed connect", DeviceName(device));
        return;
    }
    CountFailure(device);
}

void SMainView::CountFailure(BluetoothDevice* device) {
    if (device == nullptr) {
        return;
    }
    bool unpair = false;
    {
        std::lock_guard<std::mutex> guard(m_failuresMutex);
        const int count = ++m_failureCounts[device->address];
        _Log(LOG_INFO, "SMainView::CountFailure", __LINE__,
             "Can not connect to device[%s] count[%d]", DeviceName(device), count);
        if (count >= kFailuresBeforeUnpair) {
            _Log(LOG_INFO, "SMainView::CountFailure", __LINE__,
                 "Try connect to device[%s] > 3, remove device", DeviceName(device));
            m_failureCounts.erase(device->address);
            unpair = true;
        }
    }
    if (unpair) {
        m_link->RemoveDevice(device);
    }
}

void SMainView::ClearFailures() {
    std::lock_guard<std::mutex> guard(m_failuresMutex);
    m_failureCounts.clear();
}

std::map<uint64_t, int> SMainView::GetFailureCounts() const {
    std::lock_guard<std::mutex> guard(m_failuresMutex);
    return m_failureCounts;
}

// ---------------------------------------------------------------- firmware events

SFirmwareUpdateView& SMainView::FirmwareView() {
    return m_homeView.GetFirmwareUpdateView();
}

// The firmware update screen and its flow hear the link themselves; the view keeps its own part
// of these events: the desktop's indicator and notices, and the wait for the first status.

void SMainView::OnDeviceDisconnected(int /*DisconnectError*/) {
    m_batteryIndicator.OnDisconnected();
    m_desktop.OnDisconnected();
    m_linkLosses.fetch_add(1);
    m_statusEvent.signal();
}

void SMainView::OnDownloadProgressChange(int /*percent*/, uint64_t /*bytes*/) {
    m_desktop.OnFirmwareProgress();
}

void SMainView::OnDownloadFinish(bool success, int /*errorCode*/) {
    m_desktop.OnFirmwareUpdateFinished(success);
}

// ---------------------------------------------------------------- reconnect after an update

void SMainView::ReconnectDevice(BluetoothDevice* device) {
    if (device == nullptr || m_closing.load()) {
        return;
    }
    if (m_reconnectRunning.exchange(true)) {
        _Log(LOG_INFO, "SMainView::ReconnectDevice", __LINE__, "Reconnect already running");
        return;
    }
    m_reconnectConnected.store(false);
    // Inside from here, so destruction waits for the thread even before it has begun.
    auto inside = std::make_shared<platform::InFlightGate::Pass>(m_threadsInside.enter());
    if (!*inside) {
        m_reconnectRunning.store(false);
        return;
    }
    platform::startDetachedThread("reconnect", [this, device, inside] {
        ThreadReconnectDevice(this, device);
        *inside = platform::InFlightGate::Pass();
    });
}

void SMainView::ThreadReconnectDevice(SMainView* view, BluetoothDevice* device) {
    _Log(LOG_WARNING, "SMainView::ThreadReconnectDevice", __LINE__, "ThreadReconnectDevice++++");
    view->m_reconnectRunning.store(true);
    view->m_reconnectConnected.store(false);
    view->SleepUnlessClosing(view->m_timings.reconnectRestartPause);
    view->SleepUnlessClosing(view->m_timings.reconnectSettlePause);
    for (int tryCount = 0; !view->m_closing.load(); ++tryCount) {
        if (view->m_reconnectConnected.load()) {
            break;
        }
        _Log(LOG_INFO, "SMainView::ThreadReconnectDevice", __LINE__,
             "ThreadReconnectDevice: tryCount[%d]", tryCount);
        // Reset before asking: a result that comes back at once must not be lost.
        view->m_reconnectEvent.reset();
        view->RequestConnect(device);
        view->m_reconnectEvent.wait(view->m_timings.reconnectResultLimit);
        if (view->m_reconnectConnected.load()) {
            break;
        }
        view->SleepUnlessClosing(view->m_timings.reconnectRetryPause);
    }
    view->m_reconnectRunning.store(false);
    _Log(LOG_WARNING, "SMainView::ThreadReconnectDevice", __LINE__, "ThreadReconnectDevice----");
}

void SMainView::HandleReconnectResult(bool isConnected, BluetoothDevice* device) {
    m_reconnectConnected.store(isConnected);
    m_reconnectEvent.signal();
    if (!isConnected) {
        return;
    }
    if (device != nullptr) {
        PostDevice(device);
    }
    PostViewChange(kViewHome);
}

void SMainView::SleepUnlessClosing(std::chrono::milliseconds pause) {
    m_stopEvent.wait(pause);
}

// ---------------------------------------------------------------- UI thread deliveries

void SMainView::PostViewChange(int viewType) {
    m_viewType.store(viewType);
    Post(std::make_unique<SInvokeArgument>(INVOKE_UPDATE_MAIN_VIEW, viewType));
}

void SMainView::PostDevice(BluetoothDevice* device) {
    if (device != nullptr) {
        Post(std::make_unique<DeviceArgument>(device->name, device->modelCode()));
    }
}

void SMainView::Post(std::unique_ptr<SInvokeArgument> argument) {
    if (m_dispatcher != nullptr && !m_closing.load()) {
        m_dispatcher->Post(this, std::move(argument));
    }
}

void SMainView::Dispatcher_Invoked(SInvokeArgument* argument) {
    if (argument == nullptr || m_closing.load()) {
        return;
    }
    switch (argument->id) {
        case INVOKE_DEVICE_FIND_CHANGE:
            OnDeviceFindChangeInvoked();
            break;
        case INVOKE_CHECK_BLUETOOTH:
            OnCheckBluetoothInvoked(argument->param);
            break;
        case INVOKE_UPDATE_MAIN_VIEW:
            UpdateMainView(argument->param);
            break;
        case INVOKE_SET_DEVICE: {
            const auto* device = static_cast<const DeviceArgument*>(argument);
            m_homeView.GetDeviceCluster().SetDevice(device->name, device->model);
            break;
        }
        case INVOKE_DEVICE_STATUS:
            m_homeView.OnDeviceStatusChange(static_cast<const StatusArgument*>(argument)->status);
            break;
        default:
            break;
    }
}
