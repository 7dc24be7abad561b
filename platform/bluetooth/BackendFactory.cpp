#include "platform/bluetooth/BackendFactory.h"

#include <cstdlib>

#include "platform/bluetooth/UnavailableBackend.h"
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
        // FIXME: the BlueZ backend is not built yet; until then the computer's Bluetooth is
        // reported as not available.
        return std::make_shared<UnavailableBackend>(
            chosen, "this build has no BlueZ access yet; use the sim backend (--backend sim)");
    }
    return std::make_shared<UnavailableBackend>(chosen, "unknown Bluetooth backend");
}

}  // namespace platform::bluetooth
