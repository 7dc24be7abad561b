#pragma once

#include "platform/bluetooth/bluez/BluezRfcommDialer.h"

namespace platform::bluetooth {

// BluezRfcommDialer over the kernel's Bluetooth sockets and BlueZ's SDP library (libbluetooth).
class BluezKernelRfcommDialer final : public BluezRfcommDialer {
public:
    int records(uint64_t address, const std::string& uuid,
                std::vector<SdpRecordInfo>& found) override;
    int open(uint64_t address, int channel) override;
};

}  // namespace platform::bluetooth
