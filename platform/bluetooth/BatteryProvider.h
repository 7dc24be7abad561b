#pragma once

#include <cstdint>

namespace platform::bluetooth {

// Puts a connected Bluetooth device's battery into the desktop's own battery indicator (power
// menu, Bluetooth panel). A backend that can reach the desktop's Bluetooth service implements
// it; the program's main chooses one (or none) with the Bluetooth backend.
//
// Threads: every call returns at once, from any thread; failures (no such service on this
// computer) are the implementation's to log, and the calls then do nothing.
class BatteryProvider {
public:
    virtual ~BatteryProvider() = default;

    // The device with this address is connected and its battery is at percent (0-100; other
    // values are ignored).
    virtual void show(uint64_t address, int percent) = 0;
    // The device is gone: no battery any more.
    virtual void remove() = 0;
};

}  // namespace platform::bluetooth
