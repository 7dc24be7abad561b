// The device link's public session operations, its connection and the threads that stay with
// the handle: support check, connect and response listener. Discovery, the alive check and the
// receive watchdog of a firmware transfer are threads of their parts (Discovery, AliveCheck,
// FirmwareTransfer).

#include <cerrno>

#include "base/Log.h"
#include "link/BluetoothHandle.h"

namespace {

constexpr std::size_t kReadSize = 1024;

}  // namespace

// ---- Lifetime and test hooks ----

bool BluetoothHandle::shutdown(std::chrono::milliseconds timeout) {
    m_workers.beginStop();
    m_receivers.close();
    m_flags.finding.store(false);
    m_flags.aliveCheckRunning.store(false);
    m_flags.receiveWatchdogStop.store(true);
    {
        std::lock_guard lock(m_connectionMutex);
        ++m_linkEpoch;
        if (m_connection) {
            m_connection->close();
        }
    }
    m_workers.wakePauses();
    // An auto-reset event releases one waiter per signal, so keep signalling until every
    // waiter has gone.
    return m_workers.waitForAll(timeout, [this] {
        m_transfer.receiveEvent().signal();
        m_aliveCheck.event().signal();
        m_transfer.wakeWatchdog();
    });
}

// ---- Links and their epochs ----

uint64_t BluetoothHandle::currentLink() const {
    std::lock_guard lock(m_connectionMutex);
    return m_linkEpoch;
}

bool BluetoothHandle::isCurrentLink(uint64_t epoch) const {
    return currentLink() == epoch;
}

bool BluetoothHandle::failLink(uint64_t epoch, const char* method, const char* why) {
    std::lock_guard lock(m_connectionMutex);
    if (m_linkEpoch != epoch || stopping()) {
        return false;
    }
    m_aliveCheck.stop();
    _Log(LOG_INFO, method, __LINE__, "%s", why);
    closeConnectionLocked(method);
    return true;
}

// ---- Public session operations ----

void BluetoothHandle::CheckSupportBluetooth() {
    _Log(LOG_INFO, "BluetoothHandle::CheckSupportBluetooth", __LINE__, "CheckSupportBluetooth ++");
    m_workers.start("bt-support", [this] { ThreadCheckSupportBluetooth(); });
    _Log(LOG_INFO, "BluetoothHandle::CheckSupportBluetooth", __LINE__, "CheckSupportBluetooth --");
}

void BluetoothHandle::StartFindDevice() {
    _Log(LOG_INFO, "BluetoothHandle::StartFindDevice", __LINE__, "StartFindDevice ++");
    m_discovery.start();
    _Log(LOG_INFO, "BluetoothHandle::StartFindDevice", __LINE__, "StartFindDevice --");
}

void BluetoothHandle::StopFindDevice() {
    _Log(LOG_INFO, "BluetoothHandle::StopFindDevice", __LINE__, "StopFindDevice ++");
    m_discovery.stop();
    _Log(LOG_INFO, "BluetoothHandle::StopFindDevice", __LINE__, "StopFindDevice --");
}

void BluetoothHandle::ConnectToDevice(BluetoothDevice* device) {
    _Log(LOG_INFO, "BluetoothHandle::ConnectToDevice", __LINE__, "ConnectToDevice ++");
    if (device == nullptr) {
        _Log(LOG_WARNING, "BluetoothHandle::ConnectToDevice", __LINE__,
             "no device given; nothing to connect");
    } else {
        m_workers.start("bt-connect", [this, device] { ThreadConnectDevice(device); });
    }
    _Log(LOG_INFO, "BluetoothHandle::ConnectToDevice", __LINE__, "ConnectToDevice --");
}

// ---- Support check ----

void BluetoothHandle::ThreadCheckSupportBluetooth() {
    _Log(LOG_INFO, "BluetoothHandle::ThreadCheckSupportBluetooth", __LINE__,
         "=====ThreadCheckSupportBluetooth start=====");
    const bool supported = checkSupport();
    notify([&](IBluetoothHandleDelegate& r) { r.OnCheckBluetoothResponse(supported); });
    _Log(LOG_INFO, "BluetoothHandle::ThreadCheckSupportBluetooth", __LINE__,
         "=====ThreadCheckSupportBluetooth end=====");
}

// ---- Connect ----

void BluetoothHandle::ThreadConnectDevice(BluetoothDevice* device) {
    _Log(LOG_INFO, "BluetoothHandle::ThreadConnectDevice", __LINE__,
         "=====ThreadConnectDevice start=====");
    if (!startService()) {
        m_lastConnectError.store(ENOSYS);
        notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceConnected(false, device); });
    }
    bool connected = false;
    {
        std::lock_guard attempt(m_connectMutex);
        if (!stopping() && connectOrRetryBusy(device) == platform::bluetooth::kOk) {
            connected = true;
            SendGetDeviceIMEI();
            device->markConnected();
            std::shared_ptr<platform::bluetooth::Connection> stream;
            uint64_t epoch = 0;
            {
                std::lock_guard lock(m_connectionMutex);
                stream = m_connection;
                epoch = m_linkEpoch;
            }
            m_workers.start("bt-listener",
                            [this, stream, epoch] { ThreadResponseListener(stream, epoch); });
            m_aliveCheck.start(epoch);
        }
    }
    notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceConnected(connected, device); });
}

int BluetoothHandle::connectOrRetryBusy(BluetoothDevice* device) {
    int code = connectProcedure(device);
    if (code == EBUSY && !stopping()) {
        // Busy is passing more often than not: our own previous link still closing, or another
        // program about to let go. One more try after a short wait, as a user would retry.
        _Log(LOG_INFO, "BluetoothHandle::ThreadConnectDevice", __LINE__,
             "device [%s] is busy; trying once more", device->name.c_str());
        code = m_workers.pause(timings().busyRetryPause) ? connectProcedure(device) : code;
    }
    m_lastConnectError.store(code);
    return code;
}

// ---- Response listener ----

void BluetoothHandle::ThreadResponseListener(
    std::shared_ptr<platform::bluetooth::Connection> stream, uint64_t epoch) {
    _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
         "=====ThreadResponseListener start=====");
    uint8_t buffer[kReadSize];
    for (;;) {
        const std::ptrdiff_t count = stream->receive(buffer, sizeof(buffer));
        if (count <= 0 || stopping() || !isCurrentLink(epoch)) {
            break;
        }
        m_frames.handleChunk(buffer, static_cast<std::size_t>(count));
    }
    noteStreamEnd(epoch);
}

// A stream that ended while its link was still current, and not by a close from this side, was
// closed by the earbuds (or failed): wake the watchdog that owns the link so its event follows
// now instead of after its full wait.
void BluetoothHandle::noteStreamEnd(uint64_t epoch) {
    if (stopping() || !isCurrentLink(epoch) || m_closedHereEpoch.load() == epoch) {
        return;
    }
    _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
         "ThreadResponseListener -> the link was closed by the other side");
    // Under the pauses' lock, so the alive check's pause cannot miss the wake.
    m_workers.wakePauses([this, epoch] { m_peerClosedEpoch.store(epoch); });
    m_transfer.wakeWatchdog();
    m_aliveCheck.event().signal();
}

bool BluetoothHandle::linkClosedByPeer() const {
    return m_peerClosedEpoch.load() == currentLink();
}

bool BluetoothHandle::peerClosed(uint64_t epoch) const {
    return m_peerClosedEpoch.load() == epoch;
}
