#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// A discovered device. The link creates one record per address and never destroys it, so the
// screens may keep plain pointers for the whole run. The connect worker writes the model code and
// the connected mark while the screens read them, hence the guarded accessors.
class BluetoothDevice {
public:
    BluetoothDevice(std::string name, uint64_t address);
    BluetoothDevice(const BluetoothDevice&) = delete;
    BluetoothDevice& operator=(const BluetoothDevice&) = delete;

    // The name the discovery returned (UTF-8), for example "Auralis+ (4F2A)".
    const std::string name;
    // The 64-bit Bluetooth address: the key of every device map.
    const uint64_t address;

    // Empty until the first connect attempt, then "VX-R175" (second generation) or "VX-R170".
    std::string modelCode() const;
    void setModelCode(const std::string& code);

    // 0 when discovered, 1 from the first successful connection on; never cleared.
    int connected() const { return m_connected.load(); }
    void markConnected() { m_connected.store(1); }

private:
    mutable std::mutex m_mutex;
    std::string m_modelCode;
    std::atomic<int> m_connected{0};
};
