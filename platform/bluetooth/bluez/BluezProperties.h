#pragma once

// Reading BlueZ's objects as the object manager and PropertiesChanged hand them over.

#include <sdbus-c++/sdbus-c++.h>

#include <map>
#include <optional>
#include <string>

namespace platform::bluetooth {

// One interface's properties: name to value.
using BluezProperties = std::map<std::string, sdbus::Variant>;

// A property of the expected type, or nothing (absent or of another type).
template <typename T>
std::optional<T> readBluezProperty(const BluezProperties& properties, const char* key) {
    const auto found = properties.find(key);
    if (found == properties.end() || !found->second.containsValueOfType<T>()) {
        return std::nullopt;
    }
    return found->second.get<T>();
}

// The object path one level up ("/org/bluez/hci0/dev_X" -> "/org/bluez/hci0"), "/" at the top.
inline std::string bluezParentPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace platform::bluetooth
