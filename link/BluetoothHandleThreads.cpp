// The device link's public session operations and its worker threads: support check,
// discovery, connect, response listener, alive check and the receive watchdog of a firmware
// transfer.

#include <cerrno>
#include <set>

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "platform/Thread.h"
#include "platform/TickCount.h"

namespace {

constexpr std::size_t kReadSize = 1024;
// How often shutdown() nudges threads that wait on the link's auto-reset events.
constexpr std::chrono::milliseconds kShutdownNudge{10};

}  // namespace

// ---- Lifetime and test hooks ----

void BluetoothHandle::setTimings(const LinkTimings& timings) {
    std::lock_guard lock(m_timingsMutex);
    m_timings = timings;
}

LinkTimings BluetoothHandle::timings() const {
    std::lock_guard lock(m_timingsMutex);
    return m_timings;
}

int BluetoothHandle::runningThreads() const {
    std::lock_guard lock(m_workersMutex);
    return m_workers;
}

bool BluetoothHandle::startWorker(const char* name, std::function<void()> body) {
    {
        std::lock_guard lock(m_workersMutex);
        if (m_stopping.load()) {
            return false;
        }
        ++m_workers;
    }
    platform::startDetachedThread(name, [this, body = std::move(body)] {
        body();
        // Notified under the lock: shutdown() cannot return, and the link cannot go away,
        // before this thread has let go of it.
        std::lock_guard lock(m_workersMutex);
        --m_workers;
        m_workersChanged.notify_all();
    });
    return true;
}

bool BluetoothHandle::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_pauseMutex);
    return !m_pauseCut.wait_for(lock, duration, [this] { return m_stopping.load(); });
}

bool BluetoothHandle::pauseAliveCheck(std::chrono::milliseconds duration, uint64_t epoch) {
    std::unique_lock lock(m_pauseMutex);
    const auto checkEnds = [this] {
        return m_stopping.load() || !m_flags.aliveCheckRunning.load();
    };
    // A link the earbuds closed also ends the pause, but the check goes on to report it.
    m_pauseCut.wait_for(lock, duration, [&] { return checkEnds() || peerClosed(epoch); });
    return !checkEnds();
}

void BluetoothHandle::stopAliveCheck() {
    {
        // Under the pause's lock, so the wake cannot fall between its check and its wait.
        std::lock_guard lock(m_pauseMutex);
        m_flags.aliveCheckRunning.store(false);
    }
    m_pauseCut.notify_all();
}

bool BluetoothHandle::shutdown(std::chrono::milliseconds timeout) {
    {
        std::lock_guard lock(m_workersMutex);
        m_stopping.store(true);
    }
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
    {
        std::lock_guard lock(m_pauseMutex);
        m_pauseCut.notify_all();
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_workersMutex);
    while (m_workers > 0) {
        // An auto-reset event releases one waiter per signal, so keep signalling until every
        // waiter has gone.
        m_receiveEvent->signal();
        m_aliveEvent->signal();
        m_watchdogWake.signal();
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        m_workersChanged.wait_for(lock, kShutdownNudge);
    }
    return true;
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
    if (m_linkEpoch != epoch || m_stopping.load()) {
        return false;
    }
    stopAliveCheck();
    _Log(LOG_INFO, method, __LINE__, "%s", why);
    closeConnectionLocked(method);
    return true;
}

// ---- Public session operations ----

void BluetoothHandle::CheckSupportBluetooth() {
    _Log(LOG_INFO, "BluetoothHandle::CheckSupportBluetooth", __LINE__, "CheckSupportBluetooth ++");
    startWorker("bt-support", [this] { ThreadCheckSupportBluetooth(); });
    _Log(LOG_INFO, "BluetoothHandle::CheckSupportBluetooth", __LINE__, "CheckSupportBluetooth --");
}

void BluetoothHandle::StartFindDevice() {
    _Log(LOG_INFO, "BluetoothHandle::StartFindDevice", __LINE__, "StartFindDevice ++");
    {
        std::lock_guard lock(m_discoveryMutex);
        m_flags.finding.store(true);
        if (!m_discoveryRunning) {
            m_discoveryRunning = startWorker("bt-discovery", [this] { ThreadFindDevice(); });
        } else {
            _Log(LOG_INFO, "BluetoothHandle::StartFindDevice", __LINE__,
                 "discovery thread still running; it goes on finding");
        }
    }
    _Log(LOG_INFO, "BluetoothHandle::StartFindDevice", __LINE__, "StartFindDevice --");
}

void BluetoothHandle::StopFindDevice() {
    _Log(LOG_INFO, "BluetoothHandle::StopFindDevice", __LINE__, "StopFindDevice ++");
    // A scan is one bounded request, so there is no lookup left open to end here; the
    // discovery thread takes no result once finding is cleared.
    m_flags.finding.store(false);
    _Log(LOG_INFO, "BluetoothHandle::StopFindDevice", __LINE__, "StopFindDevice --");
}

void BluetoothHandle::ConnectToDevice(BluetoothDevice* device) {
    _Log(LOG_INFO, "BluetoothHandle::ConnectToDevice", __LINE__, "ConnectToDevice ++");
    if (device == nullptr) {
        _Log(LOG_WARNING, "BluetoothHandle::ConnectToDevice", __LINE__,
             "no device given; nothing to connect");
    } else {
        startWorker("bt-connect", [this, device] { ThreadConnectDevice(device); });
    }
    _Log(LOG_INFO, "BluetoothHandle::ConnectToDevice", __LINE__, "ConnectToDevice --");
}

std::map<uint64_t, BluetoothDevice*> BluetoothHandle::foundDevices() const {
    std::lock_guard lock(m_foundMutex);
    return m_foundDevices;
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

// ---- Discovery ----

bool BluetoothHandle::discoveryContinues() {
    std::lock_guard lock(m_discoveryMutex);
    if (m_flags.finding.load() && !stopping()) {
        return true;
    }
    m_discoveryRunning = false;
    return false;
}

void BluetoothHandle::takeCycleResults(
    const std::vector<platform::bluetooth::DiscoveredDevice>& results) {
    // This cycle's devices by address; a second result for an address is discarded.
    std::map<uint64_t, const platform::bluetooth::DiscoveredDevice*> cycle;
    for (const platform::bluetooth::DiscoveredDevice& result : results) {
        if (!m_flags.finding.load()) {
            break;
        }
        if (result.name.find(kNameFilter) == std::string::npos) {
            continue;
        }
        _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__, "Find out a Device[%s]",
             result.name.c_str());
        cycle.emplace(result.address, &result);
    }
    if (cycle.empty()) {
        _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__, "No device found");
        return;
    }

    std::map<uint64_t, BluetoothDevice*> report;
    {
        std::lock_guard lock(m_foundMutex);
        for (auto it = m_foundDevices.begin(); it != m_foundDevices.end();) {
            if (!m_flags.finding.load()) {
                break;
            }
            it = cycle.count(it->first) == 0 ? m_foundDevices.erase(it) : std::next(it);
        }
        // A device already known keeps its record, so holders of its pointer see the same
        // device from cycle to cycle; a record that leaves the map stays valid.
        for (const auto& [address, result] : cycle) {
            if (m_foundDevices.count(address) == 0) {
                m_deviceRecords.push_back(
                    std::make_unique<BluetoothDevice>(result->name, result->address));
                m_foundDevices.emplace(address, m_deviceRecords.back().get());
            }
        }
        _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__, "bluetoothDevices count = %d",
             static_cast<int>(m_foundDevices.size()));
        report = m_foundDevices;
    }
    if (m_flags.finding.load()) {
        notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceFindChange(report); });
    }
}

void BluetoothHandle::ThreadFindDevice() {
    _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__,
         "=====ThreadFindDevice start=====");
    if (startService()) {
        int cycle = 0;
        std::vector<platform::bluetooth::DiscoveredDevice> results;
        do {
            while (m_flags.finding.load() && !stopping()) {
                // finding is not looked at again before the scan: a stop during the pause still
                // sees one more (empty) cycle.
                if (cycle > 0 && !pause(timings().discoveryPause)) {
                    break;
                }
                _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__,
                     "WSALookupServiceBegin is start iRetryCount[%d]", cycle);
                if (!runDiscoveryScan(results)) {
                    continue;
                }
                takeCycleResults(results);
                ++cycle;
            }
        } while (discoveryContinues());
    } else {
        // finding stays set; the next StartFindDevice starts a fresh thread.
        std::lock_guard lock(m_discoveryMutex);
        m_discoveryRunning = false;
    }
    _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__,
         "=====ThreadFindDevice stop=====");
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
            startWorker("bt-listener",
                        [this, stream, epoch] { ThreadResponseListener(stream, epoch); });
            m_flags.aliveCheckRunning.store(true);
            m_flags.aliveResponse.store(true);
            startWorker("bt-alive", [this, epoch] { ThreadCheckDeviceAlive(epoch); });
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
        code = pause(timings().busyRetryPause) ? connectProcedure(device) : code;
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
        std::lock_guard lock(m_receiveMutex);
        handleReceivedChunk(buffer, static_cast<std::size_t>(count));
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
    {
        // Under the pause's lock, so the alive check's pause cannot miss the wake.
        std::lock_guard lock(m_pauseMutex);
        m_peerClosedEpoch.store(epoch);
    }
    m_pauseCut.notify_all();
    m_watchdogWake.signal();
    m_aliveEvent->signal();
}

bool BluetoothHandle::linkClosedByPeer() const {
    return m_peerClosedEpoch.load() == currentLink();
}

bool BluetoothHandle::peerClosed(uint64_t epoch) const {
    return m_peerClosedEpoch.load() == epoch;
}

// ---- Alive check ----

void BluetoothHandle::ThreadCheckDeviceAlive(uint64_t epoch) {
    static constexpr const char* kMethod = "BluetoothHandle::ThreadCheckDeviceAlive";
    _Log(LOG_INFO, kMethod, __LINE__, "=====ThreadCheckDeviceAlive start=====");
    const LinkTimings timing = timings();
    while (m_flags.aliveCheckRunning.load() && isCurrentLink(epoch) && !stopping()) {
        bool lost = false;
        if (peerClosed(epoch)) {
            lost = failLink(epoch, kMethod, "ThreadCheckDeviceAlive -> the link was closed");
            if (!lost) {
                break;
            }
        } else if (SendGetDeviceIMEI()) {
            m_aliveEvent->reset();
            m_aliveEvent->wait(timing.aliveWait);
            // Stopped meanwhile (a firmware session began, a new link, shutdown): the silence
            // is not this check's to judge any more.
            if (!m_flags.aliveCheckRunning.load() || !isCurrentLink(epoch) || stopping()) {
                break;
            }
            if (peerClosed(epoch)) {
                lost = failLink(epoch, kMethod, "ThreadCheckDeviceAlive -> the link was closed");
            } else if (!m_flags.aliveResponse.load()) {
                lost = failLink(epoch, kMethod,
                                "ThreadCheckDeviceAlive -> do not REVC alive response");
            }
            m_flags.aliveResponse.store(false);
        } else {
            lost = failLink(epoch, kMethod, "ThreadCheckDeviceAlive -> Can not send message");
            if (!lost) {
                break;
            }
        }
        if (lost) {
            notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceDisconnected(0); });
            break;
        }
        if (!pauseAliveCheck(timing.alivePauseStep * timing.alivePauseSteps, epoch)) {
            break;
        }
    }
}

// ---- Receive watchdog of a firmware transfer ----

void BluetoothHandle::ThreadCheckDeviceConnect(uint64_t session, uint64_t epoch) {
    static constexpr const char* kMethod = "BluetoothHandle::ThreadCheckDeviceConnect";
    _Log(LOG_INFO, kMethod, __LINE__, "=====ThreadCheckDeviceConnect start=====");
    const uint64_t limit = static_cast<uint64_t>(timings().receiveWatchdog.count());
    while (!m_flags.receiveWatchdogStop.load()) {
        // Silence is counted from the last received chunk (every chunk also sets the
        // got-message flag, which is taken here).
        m_flags.gotMessage.store(false);
        if (peerClosed(epoch)) {
            break;
        }
        const uint64_t now = platform::tickCount();
        const uint64_t deadline = m_lastChunkTick.load() + limit;
        if (now < deadline) {
            m_watchdogWake.wait(std::chrono::milliseconds(deadline - now));
            // A newer session has its own watchdog; this one only ends.
            if (stopping() || m_fotaSession.load() != session) {
                return;
            }
            continue;
        }
        break;
    }
    if (m_flags.receiveWatchdogStop.load()) {
        return;
    }
    // The same event for a closed link as for a silent one: the transfer has lost its link.
    const char* why = peerClosed(epoch)
                          ? "ThreadCheckDeviceConnect -> the link was closed during the transfer"
                          : "ThreadCheckDeviceConnect -> do not REVC any message over 20s";
    if (failLink(epoch, kMethod, why)) {
        notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceDisconnected(1); });
    }
}
