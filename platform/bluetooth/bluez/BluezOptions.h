#pragma once

#include <chrono>

namespace platform::bluetooth {

// Time-outs and the discovery window of the BlueZ backend. Every D-Bus call carries its own
// time-out, so no operation of the backend waits longer than the largest of these (plus a short
// grace for a reply that the bus itself never delivers).
struct BluezOptions {
    // Reading the object tree, registering the agent or a profile, setting a property.
    std::chrono::milliseconds callTimeout{5000};
    // How long one discovery cycle listens for devices. Windows' fresh inquiry took about as
    // long; earbuds in pairing mode usually answer within two seconds.
    std::chrono::milliseconds discoveryWindow{6000};
    // Pairing waits for the earbuds and, through BlueZ, for our agent (BlueZ gives an agent
    // request 60 s).
    std::chrono::milliseconds pairTimeout{90000};
    // Paging, service discovery and the RFCOMM connect.
    std::chrono::milliseconds connectTimeout{30000};
    // Removing a pairing disconnects the device first.
    std::chrono::milliseconds unpairTimeout{15000};
    // A ConnectProfile that finds BlueZ still busy with the device (service discovery right
    // after pairing, the previous link going down) is tried again this often, this far apart.
    int connectBusyRetries = 3;
    std::chrono::milliseconds connectBusyPause{1000};

    // The defaults, with the discovery window taken from $AURALIS_BLUEZ_SCAN_MS when that holds
    // a number of milliseconds between 100 and 60000 (tests and slow radios).
    static BluezOptions fromEnvironment();
};

}  // namespace platform::bluetooth
