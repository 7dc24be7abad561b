#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "link/BluetoothDevice.h"
#include "platform/bluetooth/Backend.h"

class BluetoothHandle;

// Discovery: the discovery thread's cycles (a scan, the name filter, the merge into the
// found-devices map, OnDeviceFindChange) between StartFindDevice and StopFindDevice, and the
// device records it creates, which stay valid for the link's whole life.
class Discovery {
public:
    explicit Discovery(BluetoothHandle& link) : m_link(link) {}
    Discovery(const Discovery&) = delete;
    Discovery& operator=(const Discovery&) = delete;

    // Marks finding and makes sure the discovery thread runs: while one is still running (also
    // one asked to end that has not ended yet) no second one starts; it simply goes on finding.
    void start();
    // Clears finding; the thread ends at its next check and raises no more events.
    void stop();
    // A copy of the found-devices map: the devices of the last cycle that found any.
    std::map<uint64_t, BluetoothDevice*> foundDevices() const;

private:
    void ThreadFindDevice();
    // One cycle's results through the name filter and into the found-devices map.
    void takeCycleResults(const std::vector<platform::bluetooth::DiscoveredDevice>& results);
    // The thread is about to end: true when start() asked for more meanwhile.
    bool continues();

    BluetoothHandle& m_link;
    // At most one discovery thread, see start().
    std::mutex m_runMutex;
    bool m_running = false;
    mutable std::mutex m_foundMutex;
    std::map<uint64_t, BluetoothDevice*> m_foundDevices;
    // Every record discovery created: they stay valid for the link's whole life.
    std::vector<std::unique_ptr<BluetoothDevice>> m_deviceRecords;
};
