#pragma once

#include <chrono>

#include "platform/bluetooth/SystemFacts.h"

namespace platform::bluetooth {

// Reads, on a connection of its own to the system bus ($DBUS_SYSTEM_BUS_ADDRESS when set),
// whether BlueZ runs and lets us in, its adapters (with the battery-provider manager they offer
// or not) and every device it knows. Read-only: nothing is registered, nothing is changed.
// Every call waits at most timeout.
BluezFacts inspectBluez(std::chrono::milliseconds timeout);

}  // namespace platform::bluetooth
