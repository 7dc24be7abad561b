#pragma once

#include <memory>
#include <string>

#include "platform/bluetooth/Backend.h"

namespace platform::bluetooth {

// The backend named by name ("bluez" or "sim"); an empty name means $AURALIS_BACKEND, else
// "bluez". Never null: a backend that is not built into this program, or an unknown name,
// yields an UnavailableBackend whose operations fail at once with ENOSYS.
std::shared_ptr<Backend> createBackend(const std::string& name = {});

// $AURALIS_BACKEND when set and not empty, else "bluez".
std::string defaultBackendName();

}  // namespace platform::bluetooth
