#pragma once

#include <chrono>

namespace platform::bluetooth {

// Time-outs and discovery timings of the BlueZ backend. Every D-Bus call carries its own
// time-out, so no operation of the backend waits longer than the largest of these (plus a short
// grace for a reply that the bus itself never delivers).
struct BluezOptions {
    // Reading the object tree, registering the agent or a profile, setting a property.
    std::chrono::milliseconds callTimeout{5000};
    // The longest one scan() waits for news. Discovery itself runs on between scans (one session
    // for as long as scans keep coming); a scan returns as soon as the set of devices in range
    // differs from the one it reported last, and at the latest after this long.
    std::chrono::milliseconds discoveryWindow{2000};
    // A device counts as in range for this long after BlueZ last told us about it (it appeared,
    // answered an inquiry or had its name resolved). BlueZ's inquiries last 10.24 s and, with
    // the RSSI filter we set, report every answer; two inquiries and their name requests fit.
    std::chrono::milliseconds presenceTimeout{25000};
    // The discovery session ends when no scan came for this long (the link pauses 3 s between
    // scans), and before every pairing and connect (an inquiry slows paging down).
    std::chrono::milliseconds discoveryIdleStop{10000};
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

    // The defaults, with the scan window taken from $AURALIS_BLUEZ_SCAN_MS when that holds a
    // number of milliseconds between 100 and 60000 (tests and slow radios), and every discovery
    // timing scaled by $AURALIS_BLUEZ_TIME_SCALE (a factor between 0.001 and 1; tests that run
    // the mock BlueZ faster than real time).
    static BluezOptions fromEnvironment();

    // Multiplies the discovery timings (presence, idle stop) by factor.
    void scaleDiscovery(double factor);
};

}  // namespace platform::bluetooth
