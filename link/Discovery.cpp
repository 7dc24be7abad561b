#include "link/Discovery.h"

#include "base/Log.h"
#include "link/BluetoothHandle.h"

// Log lines keep the names the link's log has always used (BluetoothHandle::...).

void Discovery::start() {
    std::lock_guard lock(m_runMutex);
    m_link.flags().finding.store(true);
    if (!m_running) {
        m_running = m_link.workers().start("bt-discovery", [this] { ThreadFindDevice(); });
    } else {
        _Log(LOG_INFO, "BluetoothHandle::StartFindDevice", __LINE__,
             "discovery thread still running; it goes on finding");
    }
}

void Discovery::stop() {
    // A scan is one bounded request, so there is no lookup left open to end here; the
    // discovery thread takes no result once finding is cleared.
    m_link.flags().finding.store(false);
}

std::map<uint64_t, BluetoothDevice*> Discovery::foundDevices() const {
    std::lock_guard lock(m_foundMutex);
    return m_foundDevices;
}

bool Discovery::continues() {
    std::lock_guard lock(m_runMutex);
    if (m_link.flags().finding.load() && !m_link.stopping()) {
        return true;
    }
    m_running = false;
    return false;
}

void Discovery::takeCycleResults(
    const std::vector<platform::bluetooth::DiscoveredDevice>& results) {
    const std::atomic<bool>& finding = m_link.flags().finding;
    // This cycle's devices by address; a second result for an address is discarded.
    std::map<uint64_t, const platform::bluetooth::DiscoveredDevice*> cycle;
    for (const platform::bluetooth::DiscoveredDevice& result : results) {
        if (!finding.load()) {
            break;
        }
        if (result.name.find(BluetoothHandle::kNameFilter) == std::string::npos) {
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
            if (!finding.load()) {
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
    if (finding.load()) {
        m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceFindChange(report); });
    }
}

void Discovery::ThreadFindDevice() {
    _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__,
         "=====ThreadFindDevice start=====");
    if (m_link.startService()) {
        int cycle = 0;
        std::vector<platform::bluetooth::DiscoveredDevice> results;
        do {
            while (m_link.flags().finding.load() && !m_link.stopping()) {
                // finding is not looked at again before the scan: a stop during the pause still
                // sees one more (empty) cycle.
                if (cycle > 0 && !m_link.workers().pause(m_link.timings().discoveryPause)) {
                    break;
                }
                _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__,
                     "WSALookupServiceBegin is start iRetryCount[%d]", cycle);
                if (!m_link.runDiscoveryScan(results)) {
                    continue;
                }
                takeCycleResults(results);
                ++cycle;
            }
        } while (continues());
    } else {
        // finding stays set; the next StartFindDevice starts a fresh thread.
        std::lock_guard lock(m_runMutex);
        m_running = false;
    }
    _Log(LOG_INFO, "BluetoothHandle::ThreadFindDevice", __LINE__,
         "=====ThreadFindDevice stop=====");
}
