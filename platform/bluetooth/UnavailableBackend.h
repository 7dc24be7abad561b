#pragma once

#include <atomic>
#include <string>

#include "platform/bluetooth/Backend.h"

namespace platform::bluetooth {

// A backend for a computer where the chosen Bluetooth access does not exist: every operation
// fails at once with ENOSYS, and the reason is logged once. The link then reports that
// Bluetooth is not supported instead of crashing or waiting.
class UnavailableBackend final : public Backend {
public:
    UnavailableBackend(std::string name, std::string reason);

    std::string name() const override { return m_name; }
    const std::string& reason() const { return m_reason; }

    int checkRadio() override;
    ScanResult scan() override;
    int pair(uint64_t address) override;
    int unpair(uint64_t address) override;
    ConnectResult connect(uint64_t address, const std::string& serviceUuid) override;

private:
    int fail();

    const std::string m_name;
    const std::string m_reason;
    std::atomic<bool> m_logged{false};
};

}  // namespace platform::bluetooth
