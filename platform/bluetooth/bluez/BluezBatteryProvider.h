#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bluetooth/BatteryProvider.h"

namespace platform::bluetooth {

// Shows the connected earbuds' battery in the desktop's own battery indicator (power menu,
// Bluetooth panel) through BlueZ's battery-provider interface (BatteryProviderManager1, still
// marked experimental: bluetoothd offers it only when started with experimental features).
// While earbuds are shown, a battery object for their BlueZ device is exported under kRootPath
// (an object manager BlueZ reads) and the provider is registered with the device's adapter;
// levels update the object's Percentage; remove() takes the object away.
//
// Every call returns at once: the D-Bus work happens on a thread of its own, which applies the
// latest wish (so a burst of status reports costs one update). Where there is no system bus or
// BlueZ does not offer the interface, that is logged once and nothing more is tried.
class BluezBatteryProvider final : public BatteryProvider {
public:
    static constexpr const char* kRootPath = "/com/auralis/manager/battery";
    static constexpr const char* kSource = "Auralis Manager";

    BluezBatteryProvider();
    ~BluezBatteryProvider() override;  // removes the battery and ends the thread
    BluezBatteryProvider(const BluezBatteryProvider&) = delete;
    BluezBatteryProvider& operator=(const BluezBatteryProvider&) = delete;

    // The earbuds with this address are connected and their battery is at percent (0-100;
    // other values are ignored).
    void show(uint64_t address, int percent) override;
    // The earbuds are gone: no battery any more.
    void remove() override;

    // For tests: waits (bounded) until the thread has applied every wish so far.
    bool settle(int timeoutMs);
    // For tests: the unique bus name of the provider's connection, empty before the first show.
    std::string busName() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform::bluetooth
