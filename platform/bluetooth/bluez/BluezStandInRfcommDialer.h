#pragma once

#include <string>

#include "platform/bluetooth/bluez/BluezRfcommDialer.h"

namespace platform::bluetooth {

// BluezRfcommDialer that asks a local Unix socket instead of the radio, for machines without
// Bluetooth in the kernel (the tests' mock BlueZ serves it). One request per connection:
//   RECORDS <address>            -> "RECORD rfcomm|l2cap <port> <class,...>" lines, then "END"
//   RFCOMM <address> <channel>   -> "OK" with the connected socket passed along, or "ERR <errno>"
class BluezStandInRfcommDialer final : public BluezRfcommDialer {
public:
    explicit BluezStandInRfcommDialer(std::string socketPath);

    int records(uint64_t address, const std::string& uuid,
                std::vector<SdpRecordInfo>& found) override;
    int open(uint64_t address, int channel) override;

private:
    // A connection with the request sent, or -errno.
    int request(const std::string& line) const;

    const std::string m_socketPath;
};

}  // namespace platform::bluetooth
