#include "platform/bluetooth/bluez/BluezFacts.h"

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/bluez/BluezProperties.h"

namespace platform::bluetooth {
namespace {

using Interfaces = std::map<std::string, BluezProperties>;
using ManagedObjects = std::map<sdbus::ObjectPath, Interfaces>;

constexpr const char* kBluezName = "org.bluez";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kDeviceInterface = "org.bluez.Device1";
constexpr const char* kBatteryManager = "org.bluez.BatteryProviderManager1";

bool flag(const BluezProperties& properties, const char* key, bool fallback = false) {
    return readBluezProperty<bool>(properties, key).value_or(fallback);
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

DeviceFacts readDevice(const std::string& path, const BluezProperties& properties) {
    DeviceFacts device;
    device.path = path;
    device.address =
        parseAddress(readBluezProperty<std::string>(properties, "Address").value_or(""))
            .value_or(0);
    const auto adapter = readBluezProperty<sdbus::ObjectPath>(properties, "Adapter");
    device.adapterPath = adapter ? std::string(*adapter) : bluezParentPath(path);
    device.name = readBluezProperty<std::string>(properties, "Name").value_or("");
    if (device.name.empty()) {
        device.name = readBluezProperty<std::string>(properties, "Alias").value_or("");
    }
    device.paired = flag(properties, "Paired");
    // Releases before 5.62 have no Bonded property: every pairing they keep is a bond.
    device.bonded = flag(properties, "Bonded", device.paired);
    device.trusted = flag(properties, "Trusted");
    device.connected = flag(properties, "Connected");
    for (const std::string& uuid : readBluezProperty<std::vector<std::string>>(properties, "UUIDs")
                                       .value_or(std::vector<std::string>{})) {
        device.uuids.push_back(lowerCase(uuid));
    }
    return device;
}

// The adapter's introspection names the battery-provider manager when BlueZ offers it (it is
// not among the interfaces with properties that the object manager reports).
bool offersBatteryManager(sdbus::IConnection& bus, const std::string& path,
                          std::chrono::milliseconds timeout) {
    try {
        auto proxy = sdbus::createProxy(bus, kBluezName, path);
        std::string xml;
        proxy->callMethod("Introspect")
            .onInterface("org.freedesktop.DBus.Introspectable")
            .withTimeout(timeout)
            .storeResultsTo(xml);
        return xml.find(std::string("\"") + kBatteryManager + "\"") != std::string::npos;
    } catch (const sdbus::Error&) {
        return false;
    }
}

BluezFacts::Reach reachOf(const std::string& errorName) {
    if (errorName == "org.freedesktop.DBus.Error.AccessDenied") {
        return BluezFacts::Reach::AccessDenied;
    }
    if (errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        errorName == "org.freedesktop.DBus.Error.NameHasNoOwner") {
        return BluezFacts::Reach::NotRunning;
    }
    return BluezFacts::Reach::Failed;
}

void readObjects(sdbus::IConnection& bus, std::chrono::milliseconds timeout,
                 const ManagedObjects& objects, BluezFacts& facts) {
    for (const auto& [path, interfaces] : objects) {
        const auto adapter = interfaces.find(kAdapterInterface);
        if (adapter != interfaces.end()) {
            const BluezProperties& properties = adapter->second;
            facts.adapters.push_back(
                {.path = path,
                 .address = readBluezProperty<std::string>(properties, "Address").value_or(""),
                 .powered = flag(properties, "Powered"),
                 .discoverable = flag(properties, "Discoverable"),
                 .pairable = flag(properties, "Pairable"),
                 .batteryProviderManager = interfaces.count(kBatteryManager) != 0 ||
                                           offersBatteryManager(bus, path, timeout)});
        }
        const auto device = interfaces.find(kDeviceInterface);
        if (device != interfaces.end()) {
            facts.devices.push_back(readDevice(path, device->second));
        }
    }
}

}  // namespace

BluezFacts inspectBluez(std::chrono::milliseconds timeout) {
    BluezFacts facts;
    std::unique_ptr<sdbus::IConnection> bus;
    try {
        bus = sdbus::createSystemBusConnection();
    } catch (const sdbus::Error& error) {
        facts.reach = BluezFacts::Reach::NoBus;
        facts.error = error.getMessage();
        return facts;
    }
    try {
        auto proxy = sdbus::createProxy(*bus, kBluezName, "/");
        ManagedObjects objects;
        proxy->callMethod("GetManagedObjects")
            .onInterface("org.freedesktop.DBus.ObjectManager")
            .withTimeout(timeout)
            .storeResultsTo(objects);
        facts.reach = BluezFacts::Reach::Reached;
        readObjects(*bus, timeout, objects, facts);
    } catch (const sdbus::Error& error) {
        facts.reach = reachOf(error.getName());
        facts.error = error.getName() + ": " + error.getMessage();
    }
    return facts;
}

}  // namespace platform::bluetooth
