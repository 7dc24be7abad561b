#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

namespace platform::bluetooth {

struct BluezAdapterInfo {
    std::string path;  // /org/bluez/hciN
    bool powered = false;
};

struct BluezDeviceInfo {
    std::string path;  // /org/bluez/hciN/dev_AA_BB_CC_DD_EE_FF
    std::string adapterPath;
    uint64_t address = 0;
    // Name when BlueZ resolved one, else Alias (which BlueZ always has).
    std::string name;
    bool paired = false;
    bool trusted = false;
    // BlueZ keeps an RSSI only for devices a discovery has found (ours or another program's).
    bool hasRssi = false;
    // Device1.UUIDs: the first service class of each SDP record BlueZ read, the services
    // Device1.ConnectProfile can connect.
    std::vector<std::string> uuids;
};

// The adapters and devices BlueZ knows, as read from one GetManagedObjects answer.
class BluezObjectTree {
public:
    // Reads the answer of ObjectManager.GetManagedObjects (a{oa{sa{sv}}}). False when it has
    // another shape; objects with missing or odd properties are skipped or read leniently.
    bool read(sdbus::MethodReply& reply);

    const std::vector<BluezAdapterInfo>& adapters() const { return m_adapters; }
    const std::vector<BluezDeviceInfo>& devices() const { return m_devices; }

    // The adapter the backend works with: the first powered one in path order, else the first
    // one; null when there is none.
    const BluezAdapterInfo* chosenAdapter() const;

    // The device with this address: the one under preferredAdapter when there is one, else the
    // first one found. Null when BlueZ does not know the device.
    const BluezDeviceInfo* findDevice(uint64_t address, const std::string& preferredAdapter) const;

private:
    std::vector<BluezAdapterInfo> m_adapters;
    std::vector<BluezDeviceInfo> m_devices;
};

}  // namespace platform::bluetooth
