#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::bluetooth {

// One radio switch the kernel's rfkill knows (/sys/class/rfkill/rfkillN).
struct RfkillSwitch {
    std::string id;    // "rfkill0"
    std::string type;  // "bluetooth", "wlan", ...
    std::string name;  // "hci0", "phy0", ...
    bool softBlocked = false;
    bool hardBlocked = false;
};

// What the kernel says about Bluetooth on this computer.
struct KernelFacts {
    // The radios the kernel registered (/sys/class/bluetooth/hciN): "hci0", ...
    std::vector<std::string> radios;
    // Every Bluetooth rfkill switch.
    std::vector<RfkillSwitch> switches;
    // 0 when an RFCOMM socket could be created; else the errno of the attempt
    // (EAFNOSUPPORT: no Bluetooth sockets in this kernel, EPROTONOSUPPORT: no RFCOMM module).
    int rfcommSocketError = 0;
};

struct AdapterFacts {
    std::string path;  // /org/bluez/hci0
    std::string address;
    bool powered = false;
    bool discoverable = false;
    bool pairable = false;
    // BlueZ offers org.bluez.BatteryProviderManager1 on it (only with experimental features in
    // the releases that have it).
    bool batteryProviderManager = false;
};

struct DeviceFacts {
    std::string path;
    std::string adapterPath;
    uint64_t address = 0;
    std::string name;
    bool paired = false;
    bool bonded = false;
    bool trusted = false;
    bool connected = false;
    // Device1.UUIDs, lower case.
    std::vector<std::string> uuids;
};

// What BlueZ on the system bus tells.
struct BluezFacts {
    enum class Reach {
        Reached,       // BlueZ answered
        NoBus,         // no system bus to connect to
        NotRunning,    // the bus is there, nobody owns org.bluez
        AccessDenied,  // the bus refused our calls to BlueZ
        Failed,        // another error (in error)
    };
    Reach reach = Reach::NoBus;
    // The D-Bus error or the reason, for people.
    std::string error;
    std::vector<AdapterFacts> adapters;
    std::vector<DeviceFacts> devices;
};

// BlueZ's version and where it came from.
struct BluezVersion {
    std::string version;  // "5.66"; empty when unknown
    std::string source;   // "bluetoothd --version", "package bluez"
};

}  // namespace platform::bluetooth
