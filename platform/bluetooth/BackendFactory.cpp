#include "platform/bluetooth/BackendFactory.h"

#include <cstdlib>

#include "platform/bluetooth/UnavailableBackend.h"
#include "platform/bluetooth/bluez/BluezBackend.h"
#include "platform/bluetooth/bluez/BluezBatteryProvider.h"
#include "platform/bluetooth/sim/SimBackend.h"

namespace platform::bluetooth {

std::string defaultBackendName() {
    const char* value = std::getenv("AURALIS_BACKEND");
    return value != nullptr && *value != '\0' ? value : "bluez";
}

std::shared_ptr<Backend> createBackend(const std::string& name) {
    const std::string chosen = name.empty() ? defaultBackendName() : name;
    if (chosen == "sim") {
        return std::make_shared<SimBackend>();
    }
    if (chosen == "bluez") {
        // A computer without a system bus or without BlueZ still gets this backend: its
        // operations then fail with their own codes, and the link reports that Bluetooth is
        // not available.
        return std::make_shared<BluezBackend>();
    }
    return std::make_shared<UnavailableBackend>(chosen, "unknown Bluetooth backend");
}

std::unique_ptr<BatteryProvider> createBatteryProvider(const std::string& name) {
    if ((name.empty() ? defaultBackendName() : name) == "bluez") {
        return std::make_unique<BluezBatteryProvider>();
    }
    return nullptr;
}

}  // namespace platform::bluetooth
