#include "platform/bluetooth/bluez/BluezObjectTree.h"

#include <map>
#include <optional>

#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/bluez/BluezProperties.h"

namespace platform::bluetooth {
namespace {

using Properties = BluezProperties;
using Interfaces = std::map<std::string, Properties>;
using ManagedObjects = std::map<sdbus::ObjectPath, Interfaces>;

constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kDeviceInterface = "org.bluez.Device1";

std::optional<BluezDeviceInfo> readDevice(const std::string& path, const Properties& properties) {
    const std::optional<std::string> addressText =
        readBluezProperty<std::string>(properties, "Address");
    const std::optional<uint64_t> address = addressText ? parseAddress(*addressText) : std::nullopt;
    if (!address) {
        return std::nullopt;
    }
    BluezDeviceInfo device;
    device.path = path;
    device.address = *address;
    const std::optional<sdbus::ObjectPath> adapter =
        readBluezProperty<sdbus::ObjectPath>(properties, "Adapter");
    device.adapterPath = adapter ? std::string(*adapter) : bluezParentPath(path);
    const std::optional<std::string> name = readBluezProperty<std::string>(properties, "Name");
    if (name && !name->empty()) {
        device.name = *name;
    } else {
        device.name = readBluezProperty<std::string>(properties, "Alias").value_or("");
    }
    device.paired = readBluezProperty<bool>(properties, "Paired").value_or(false);
    device.trusted = readBluezProperty<bool>(properties, "Trusted").value_or(false);
    device.hasRssi = readBluezProperty<int16_t>(properties, "RSSI").has_value();
    device.uuids = readBluezProperty<std::vector<std::string>>(properties, "UUIDs")
                       .value_or(std::vector<std::string>{});
    return device;
}

}  // namespace

bool BluezObjectTree::read(sdbus::MethodReply& reply) {
    m_adapters.clear();
    m_devices.clear();
    ManagedObjects objects;
    try {
        reply >> objects;
    } catch (const sdbus::Error&) {
        return false;
    }
    // The map keeps the paths in order: adapters by name, devices by address.
    for (const auto& [path, interfaces] : objects) {
        const auto adapter = interfaces.find(kAdapterInterface);
        if (adapter != interfaces.end()) {
            m_adapters.push_back(
                {.path = path,
                 .powered = readBluezProperty<bool>(adapter->second, "Powered").value_or(false)});
        }
        const auto device = interfaces.find(kDeviceInterface);
        if (device != interfaces.end()) {
            if (std::optional<BluezDeviceInfo> info = readDevice(path, device->second)) {
                m_devices.push_back(std::move(*info));
            }
        }
    }
    return true;
}

const BluezAdapterInfo* BluezObjectTree::chosenAdapter() const {
    for (const BluezAdapterInfo& adapter : m_adapters) {
        if (adapter.powered) {
            return &adapter;
        }
    }
    return m_adapters.empty() ? nullptr : &m_adapters.front();
}

const BluezDeviceInfo* BluezObjectTree::findDevice(uint64_t address,
                                                   const std::string& preferredAdapter) const {
    const BluezDeviceInfo* any = nullptr;
    for (const BluezDeviceInfo& device : m_devices) {
        if (device.address != address) {
            continue;
        }
        if (device.adapterPath == preferredAdapter) {
            return &device;
        }
        if (any == nullptr) {
            any = &device;
        }
    }
    return any;
}

}  // namespace platform::bluetooth
