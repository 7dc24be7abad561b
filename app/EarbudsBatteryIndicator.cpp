#include "app/EarbudsBatteryIndicator.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex g_makerMutex;
EarbudsBatteryIndicator::ProviderMaker g_maker;

bool IsLevel(int32_t value) {
    // 0 is also what a bud that never reported carries; it is no level to show.
    return value >= 1 && value <= 100;
}

}  // namespace

void EarbudsBatteryIndicator::InstallProvider(ProviderMaker maker) {
    std::lock_guard lock(g_makerMutex);
    g_maker = std::move(maker);
}

EarbudsBatteryIndicator::EarbudsBatteryIndicator() {
    std::lock_guard lock(g_makerMutex);
    if (g_maker) {
        m_provider = g_maker();
    }
}

EarbudsBatteryIndicator::~EarbudsBatteryIndicator() = default;

int EarbudsBatteryIndicator::LowerBudLevel(const DeviceStatus& status) {
    const bool left = IsLevel(status.batteryLeft);
    const bool right = IsLevel(status.batteryRight);
    if (left && right) {
        return std::min(status.batteryLeft, status.batteryRight);
    }
    if (left || right) {
        return left ? status.batteryLeft : status.batteryRight;
    }
    return -1;
}

void EarbudsBatteryIndicator::OnConnected(uint64_t address) {
    m_address.store(address);
}

void EarbudsBatteryIndicator::OnStatus(const DeviceStatus& status) {
    const uint64_t address = m_address.load();
    const int level = LowerBudLevel(status);
    if (m_provider && address != 0 && level >= 0) {
        m_provider->show(address, level);
    }
}

void EarbudsBatteryIndicator::OnDisconnected() {
    m_address.store(0);
    if (m_provider) {
        m_provider->remove();
    }
}
