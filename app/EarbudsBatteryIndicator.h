#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "link/DeviceStatus.h"
#include "platform/bluetooth/BatteryProvider.h"

// Puts the connected earbuds' battery into the desktop's own battery indicator: the lower of the
// two buds' levels (the one that runs out first), while the earbuds are connected. Only where the
// program installed a provider (the BlueZ backend's); otherwise it does nothing. Called from the
// link's threads.
class EarbudsBatteryIndicator {
public:
    using ProviderMaker = std::function<std::unique_ptr<platform::bluetooth::BatteryProvider>()>;

    // How each indicator made from now on gets its provider; the program's main installs it with
    // the Bluetooth backend. Without one, indicators do nothing.
    static void InstallProvider(ProviderMaker maker);

    EarbudsBatteryIndicator();
    ~EarbudsBatteryIndicator();
    EarbudsBatteryIndicator(const EarbudsBatteryIndicator&) = delete;
    EarbudsBatteryIndicator& operator=(const EarbudsBatteryIndicator&) = delete;

    void OnConnected(uint64_t address);
    void OnStatus(const DeviceStatus& status);
    void OnDisconnected();

    // The lower level of the buds that report one (1-100); -1 when neither does.
    static int LowerBudLevel(const DeviceStatus& status);

private:
    std::unique_ptr<platform::bluetooth::BatteryProvider> m_provider;
    std::atomic<uint64_t> m_address{0};  // 0 while nothing is connected
};
