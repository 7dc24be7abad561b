#pragma once

#include <memory>
#include <string>

#include "platform/bluetooth/Backend.h"
#include "platform/bluetooth/BatteryProvider.h"

namespace platform::bluetooth {

// The backend named by name ("bluez" or "sim"); an empty name means $AURALIS_BACKEND, else
// "bluez". Never null: a backend that is not built into this program, or an unknown name,
// yields an UnavailableBackend whose operations fail at once with ENOSYS.
std::shared_ptr<Backend> createBackend(const std::string& name = {});

// $AURALIS_BACKEND when set and not empty, else "bluez".
std::string defaultBackendName();

// The desktop battery indicator that goes with the backend named by name (empty:
// defaultBackendName()): BlueZ's for "bluez", none (null) for any other.
std::unique_ptr<BatteryProvider> createBatteryProvider(const std::string& name = {});

}  // namespace platform::bluetooth
