#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/bluetooth/SystemFacts.h"

namespace platform::bluetooth {

// Everything the computer says about its Bluetooth: the kernel's radios, switches and sockets
// (below systemRoot()), BlueZ's version and what BlueZ on the system bus tells.
struct BluetoothSystemFacts {
    KernelFacts kernel;
    BluezVersion version;
    BluezFacts bluez;
};

BluetoothSystemFacts inspectBluetoothSystem(
    std::chrono::milliseconds callTimeout = std::chrono::seconds(3));

// The RFCOMM channel that the device's service records give for the service uuid (lower case),
// asking the device itself (it must be in range; this takes up to the radio's page time-out).
// Empty, with an errno value in error, when the records cannot be read or do not name one.
std::optional<int> recordedRfcommChannel(uint64_t address, const std::string& uuid, int& error);

}  // namespace platform::bluetooth
