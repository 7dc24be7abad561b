#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "platform/bluetooth/Backend.h"
#include "platform/bluetooth/bluez/BluezOptions.h"

namespace platform::bluetooth {

class BluezSession;

// One BlueZ discovery session kept open across the link's scan cycles.
//
// A BR/EDR inquiry lasts 10.24 s and BlueZ asks for the names it does not know only after the
// inquiry ended; stopping earlier cancels those name requests. So the session stays open for as
// long as scans keep coming, and each scan reports what BlueZ announced meanwhile: devices that
// appeared (InterfacesAdded), answered an inquiry (RSSI) or got their name (Name, Alias).
//
// A device counts as in range when BlueZ told us about it during this session, less than
// presenceTimeout ago. An RSSI that BlueZ kept from before is not taken as presence: BlueZ
// clears RSSI only when the last of all its discovery clients stops, so with a desktop panel or
// another scanner open, earbuds that left keep theirs. Our discovery filter sets an RSSI floor,
// which makes BlueZ report every inquiry answer instead of changes of 8 dBm or more.
//
// Paired devices are reported every time, in range or not: paired earbuds that are connected to
// the computer (or asleep in their case) do not answer inquiries, yet the link must be able to
// connect them.
class BluezDiscovery {
public:
    explicit BluezDiscovery(const BluezOptions& options);
    // Ends the session (BlueZ would end it when our connection leaves the bus anyway).
    ~BluezDiscovery();
    BluezDiscovery(const BluezDiscovery&) = delete;
    BluezDiscovery& operator=(const BluezDiscovery&) = delete;

    // Starts the session on adapter when none runs (or the bus connection changed), waits until
    // the devices in range differ from the last report or the scan window ends, and returns
    // them in address order. Possible errors: as StartDiscovery's (ENODEV, ETIMEDOUT, ...).
    ScanResult report(const std::shared_ptr<BluezSession>& session, const std::string& adapterPath);

    // Ends the session now; the next report starts a new one.
    void stop();

private:
    struct Sighting {
        std::string adapterPath;
        uint64_t address = 0;
        std::string name;   // Name as BlueZ resolved it
        std::string alias;  // what BlueZ shows until then (the address, or a cached name)
        bool paired = false;
        bool heard = false;
        std::chrono::steady_clock::time_point lastHeard;
    };

    // Under m_sessionMutex: the session begins and ends in one piece.
    int ensureStarted(const std::shared_ptr<BluezSession>& session, const std::string& adapterPath);
    int start(const std::shared_ptr<BluezSession>& session, const std::string& adapterPath);
    void endSession();
    bool subscribe(BluezSession& session);
    void seed(BluezSession& session);
    void dropSubscriptions(BluezSession& session);
    void runIdleWatch();

    // Signal handlers, on the bus connection's thread.
    void onInterfacesAdded(sdbus::Message& message);
    void onInterfacesRemoved(sdbus::Message& message);
    void onPropertiesChanged(sdbus::Message& message);
    void takeDeviceProperties(const std::string& path,
                              const std::map<std::string, sdbus::Variant>& properties, bool heard);

    // Under m_mutex.
    std::vector<DiscoveredDevice> presentLocked(std::chrono::steady_clock::time_point now) const;

    const BluezOptions m_options;
    // Held while a session starts or ends, never on the bus connection's thread. The idle watch
    // may end the session while a scan starts the next one; interleaved, the scan's new
    // subscriptions would be dropped (or the old ones destroyed off the bus thread, under
    // m_mutex, which the signal handlers take while sd-bus holds its own lock).
    std::mutex m_sessionMutex;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::shared_ptr<BluezSession> m_session;
    std::string m_adapter;
    bool m_running = false;
    bool m_quit = false;
    std::chrono::steady_clock::time_point m_lastUse;
    std::map<std::string, Sighting> m_devices;  // by object path
    std::vector<DiscoveredDevice> m_lastReport;
    // Created and destroyed on the bus connection's thread.
    std::vector<sdbus::Slot> m_slots;
    std::thread m_idleWatch;
};

}  // namespace platform::bluetooth
