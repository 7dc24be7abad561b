#include "platform/bluetooth/bluez/BluezDiscovery.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "base/Log.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/bluez/BluezErrorMap.h"
#include "platform/bluetooth/bluez/BluezProperties.h"
#include "platform/bluetooth/bluez/BluezSession.h"

namespace platform::bluetooth {
namespace {

using Clock = std::chrono::steady_clock;
using Properties = BluezProperties;
using Interfaces = std::map<std::string, Properties>;
using ManagedObjects = std::map<sdbus::ObjectPath, Interfaces>;

constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kDeviceInterface = "org.bluez.Device1";
// Reports every inquiry answer (no 8 dBm threshold) without dropping any device: inquiry RSSI
// never goes below this.
constexpr int16_t kRssiFloor = -127;

constexpr const char* kAddedRule =
    "type='signal',sender='org.bluez',interface='org.freedesktop.DBus.ObjectManager',"
    "member='InterfacesAdded'";
constexpr const char* kRemovedRule =
    "type='signal',sender='org.bluez',interface='org.freedesktop.DBus.ObjectManager',"
    "member='InterfacesRemoved'";
constexpr const char* kChangedRule =
    "type='signal',sender='org.bluez',interface='org.freedesktop.DBus.Properties',"
    "member='PropertiesChanged',path_namespace='/org/bluez'";

}  // namespace

BluezDiscovery::BluezDiscovery(const BluezOptions& options)
    : m_options(options), m_idleWatch([this] { runIdleWatch(); }) {}

BluezDiscovery::~BluezDiscovery() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_changed.notify_all();
    }
    m_idleWatch.join();
    stop();
}

ScanResult BluezDiscovery::report(const std::shared_ptr<BluezSession>& session,
                                  const std::string& adapterPath) {
    {
        std::lock_guard lock(m_mutex);
        m_lastUse = Clock::now();
    }
    if (const int code = ensureStarted(session, adapterPath); code != kOk) {
        return {.code = code, .devices = {}};
    }
    std::unique_lock lock(m_mutex);
    Clock::time_point deadline = Clock::now() + m_options.discoveryWindow;
    while (m_running && presentLocked(Clock::now()) == m_lastReport) {
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            break;
        }
    }
    // Answers to one inquiry come in bursts: take in the rest of the burst before reporting, so
    // that devices announced together arrive in one report.
    const Clock::time_point settled = Clock::now() + m_options.discoveryWindow / 8;
    if (m_running && settled < deadline) {
        m_changed.wait_until(lock, settled, [this] { return !m_running; });
    }
    ScanResult result;
    result.devices = presentLocked(Clock::now());
    m_lastReport = result.devices;
    m_lastUse = Clock::now();
    return result;
}

int BluezDiscovery::ensureStarted(const std::shared_ptr<BluezSession>& session,
                                  const std::string& adapterPath) {
    std::lock_guard sessionLock(m_sessionMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_running && m_session == session && m_adapter == adapterPath) {
            return kOk;
        }
    }
    endSession();
    return start(session, adapterPath);
}

int BluezDiscovery::start(const std::shared_ptr<BluezSession>& session,
                          const std::string& adapterPath) {
    {
        std::lock_guard lock(m_mutex);
        m_devices.clear();
        m_adapter = adapterPath;
    }
    if (!subscribe(*session)) {
        _Log(LOG_WARNING, "BluezDiscovery::start", __LINE__,
             "cannot listen to BlueZ's announcements (the bus connection is lost)");
        return ECONNREFUSED;
    }
    seed(*session);
    BluezConnection& bus = session->connection();
    // Earbuds speak RFCOMM, so classic (BR/EDR) inquiry is what finds them. An adapter without
    // BR/EDR refuses the transport; discovering on all it has is the best left to do then.
    BluezReply reply;
    for (const bool classicOnly : {true, false}) {
        reply = bus.call(
            adapterPath, kAdapterInterface, "SetDiscoveryFilter",
            [classicOnly](sdbus::MethodCall& call) {
                Properties filter{{"RSSI", sdbus::Variant(kRssiFloor)}};
                if (classicOnly) {
                    filter.emplace("Transport", sdbus::Variant(std::string("bredr")));
                }
                call << filter;
            },
            m_options.callTimeout);
        if (reply.ok() || isBluezUnreachable(reply.errorName)) {
            break;
        }
        _Log(LOG_WARNING, "BluezDiscovery::start", __LINE__, "SetDiscoveryFilter%s refused: %s: %s",
             classicOnly ? "(bredr)" : "", reply.errorName.c_str(), reply.errorMessage.c_str());
    }
    reply =
        bus.call(adapterPath, kAdapterInterface, "StartDiscovery", nullptr, m_options.callTimeout);
    // InProgress: our own session still runs (a stop that got lost).
    if (!reply.ok() && reply.errorName != "org.bluez.Error.InProgress") {
        const int code = mapBluezError(BluezOperation::Scan, reply.errorName, reply.errorMessage);
        _Log(LOG_WARNING, "BluezDiscovery::start", __LINE__,
             "StartDiscovery failed: %s: %s (result %d)", reply.errorName.c_str(),
             reply.errorMessage.c_str(), code);
        dropSubscriptions(*session);
        return code;
    }
    _Log(LOG_INFO, "BluezDiscovery::start", __LINE__, "discovery session on %s begins",
         adapterPath.c_str());
    std::lock_guard lock(m_mutex);
    m_session = session;
    m_running = true;
    m_lastUse = Clock::now();
    m_changed.notify_all();  // the idle watch starts timing this session
    return kOk;
}

bool BluezDiscovery::subscribe(BluezSession& session) {
    std::vector<sdbus::Slot> slots;
    const std::function<void()> add = [&] {
        sdbus::IConnection& bus = session.connection().bus();
        slots.push_back(
            bus.addMatch(kAddedRule, [this](sdbus::Message& m) { onInterfacesAdded(m); }));
        slots.push_back(
            bus.addMatch(kRemovedRule, [this](sdbus::Message& m) { onInterfacesRemoved(m); }));
        slots.push_back(
            bus.addMatch(kChangedRule, [this](sdbus::Message& m) { onPropertiesChanged(m); }));
    };
    if (!session.connection().runOnLoop(add, m_options.callTimeout) || slots.size() != 3) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_slots = std::move(slots);
    return true;
}

void BluezDiscovery::seed(BluezSession& session) {
    // What BlueZ knows already: names and pairings. Nothing of it counts as heard: an RSSI in
    // here may be left from another program's discovery.
    ManagedObjects objects;
    const BluezReply reply = session.connection().call(
        "/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr,
        m_options.callTimeout, [&objects](sdbus::MethodReply& answer) {
            answer >> objects;
            return true;
        });
    if (!reply.ok()) {
        _Log(LOG_WARNING, "BluezDiscovery::seed", __LINE__,
             "reading BlueZ's objects failed: %s: %s", reply.errorName.c_str(),
             reply.errorMessage.c_str());
        return;
    }
    for (const auto& [path, interfaces] : objects) {
        const auto device = interfaces.find(kDeviceInterface);
        if (device != interfaces.end()) {
            takeDeviceProperties(path, device->second, false);
        }
    }
}

void BluezDiscovery::stop() {
    std::lock_guard sessionLock(m_sessionMutex);
    endSession();
}

void BluezDiscovery::endSession() {
    std::shared_ptr<BluezSession> session;
    bool running = false;
    std::string adapter;
    {
        std::lock_guard lock(m_mutex);
        session = std::move(m_session);
        m_session.reset();
        running = m_running;
        m_running = false;
        adapter = m_adapter;
        m_changed.notify_all();
    }
    if (!session) {
        return;
    }
    if (running) {
        const BluezReply reply = session->connection().call(
            adapter, kAdapterInterface, "StopDiscovery", nullptr, m_options.callTimeout);
        _Log(LOG_INFO, "BluezDiscovery::stop", __LINE__, "discovery session on %s ends%s%s",
             adapter.c_str(), reply.ok() ? "" : ": ", reply.errorMessage.c_str());
    }
    dropSubscriptions(*session);
}

void BluezDiscovery::dropSubscriptions(BluezSession& session) {
    std::vector<sdbus::Slot> slots;
    {
        std::lock_guard lock(m_mutex);
        slots.swap(m_slots);
        m_devices.clear();
    }
    const std::function<void()> drop = [&slots] { slots.clear(); };
    if (!session.connection().runOnLoop(drop, m_options.callTimeout)) {
        // The connection's thread is gone: nothing dispatches on it any more.
        slots.clear();
    }
}

void BluezDiscovery::runIdleWatch() {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (m_running && Clock::now() - m_lastUse >= m_options.discoveryIdleStop) {
            lock.unlock();
            _Log(LOG_INFO, "BluezDiscovery::runIdleWatch", __LINE__,
                 "no scan for a while; ending the discovery session");
            stop();
            lock.lock();
            continue;
        }
        m_changed.wait_for(
            lock, m_running ? m_options.discoveryIdleStop / 4 : std::chrono::milliseconds(60000));
    }
}

void BluezDiscovery::onInterfacesAdded(sdbus::Message& message) {
    try {
        sdbus::ObjectPath path;
        Interfaces interfaces;
        message >> path >> interfaces;
        const auto device = interfaces.find(kDeviceInterface);
        if (device != interfaces.end()) {
            // A new object while we discover: the inquiry found it.
            takeDeviceProperties(path, device->second, true);
        }
    } catch (const sdbus::Error&) {
        // A malformed announcement tells us nothing.
    }
}

void BluezDiscovery::onInterfacesRemoved(sdbus::Message& message) {
    try {
        sdbus::ObjectPath path;
        std::vector<std::string> interfaces;
        message >> path >> interfaces;
        if (std::find(interfaces.begin(), interfaces.end(), kDeviceInterface) != interfaces.end()) {
            std::lock_guard lock(m_mutex);
            m_devices.erase(path);
            m_changed.notify_all();
        }
    } catch (const sdbus::Error&) {
    }
}

void BluezDiscovery::onPropertiesChanged(sdbus::Message& message) {
    try {
        std::string interface;
        Properties changed;
        std::vector<std::string> invalidated;
        message >> interface >> changed >> invalidated;
        const std::string path = message.getPath();
        if (interface == kAdapterInterface) {
            const std::optional<bool> discovering = readBluezProperty<bool>(changed, "Discovering");
            std::lock_guard lock(m_mutex);
            if (discovering == false && path == m_adapter && m_running) {
                // The adapter stopped (switched off, reset): the next scan starts afresh.
                m_running = false;
                m_changed.notify_all();
            }
            return;
        }
        if (interface != kDeviceInterface) {
            return;
        }
        const bool answered = changed.count("RSSI") != 0 || changed.count("Name") != 0;
        takeDeviceProperties(path, changed, answered);
        if (std::find(invalidated.begin(), invalidated.end(), "RSSI") != invalidated.end()) {
            // BlueZ clears RSSI when every discovery ended: nothing heard stands any more.
            std::lock_guard lock(m_mutex);
            const auto found = m_devices.find(path);
            if (found != m_devices.end()) {
                found->second.heard = false;
                m_changed.notify_all();
            }
        }
    } catch (const sdbus::Error&) {
    }
}

void BluezDiscovery::takeDeviceProperties(const std::string& path, const Properties& properties,
                                          bool heard) {
    std::lock_guard lock(m_mutex);
    auto [entry, added] = m_devices.try_emplace(path);
    Sighting& device = entry->second;
    if (added) {
        const std::optional<std::string> address =
            readBluezProperty<std::string>(properties, "Address");
        const std::optional<uint64_t> parsed = address ? parseAddress(*address) : std::nullopt;
        if (!parsed) {
            // Only a full announcement creates a device; a change of one we never saw is
            // not enough to name it.
            m_devices.erase(entry);
            return;
        }
        device.address = *parsed;
        const std::optional<sdbus::ObjectPath> adapter =
            readBluezProperty<sdbus::ObjectPath>(properties, "Adapter");
        device.adapterPath = adapter ? std::string(*adapter) : bluezParentPath(path);
    }
    if (const auto name = readBluezProperty<std::string>(properties, "Name")) {
        device.name = *name;
    }
    if (const auto alias = readBluezProperty<std::string>(properties, "Alias")) {
        device.alias = *alias;
    }
    if (const auto paired = readBluezProperty<bool>(properties, "Paired")) {
        device.paired = *paired;
    }
    if (heard) {
        device.heard = true;
        device.lastHeard = Clock::now();
    }
    m_changed.notify_all();
}

std::vector<DiscoveredDevice> BluezDiscovery::presentLocked(Clock::time_point now) const {
    std::vector<DiscoveredDevice> present;
    for (const auto& [path, device] : m_devices) {
        if (device.adapterPath != m_adapter) {
            continue;
        }
        const bool inRange = device.heard && now - device.lastHeard <= m_options.presenceTimeout;
        if (inRange || device.paired) {
            present.push_back({.name = device.name.empty() ? device.alias : device.name,
                               .address = device.address});
        }
    }
    std::sort(
        present.begin(), present.end(),
        [](const DiscoveredDevice& a, const DiscoveredDevice& b) { return a.address < b.address; });
    return present;
}

}  // namespace platform::bluetooth
