#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Generation.h"
#include "sim/SimConfig.h"

namespace sim {

// The payloads of the messages earbuds send about themselves (the bytes after the message id).
class EarbudReports {
public:
    static constexpr uint8_t kSerialNumber = 0x29;
    static constexpr uint8_t kReset = 0x50;
    static constexpr uint8_t kUpdateResponse = 0x51;
    static constexpr uint8_t kStatusUpdated = 0x60;
    static constexpr uint8_t kExtendedStatusUpdated = 0x61;
    static constexpr uint8_t kSoftwareVersion = 0xB4;

    // 0x60: earType, left, right, twsStatus, primary, wearing, case.
    static std::vector<uint8_t> statusUpdated(const EarbudState& state);
    // 0x61: 7 bytes in the first generation, 19 with the case level and colours in the second.
    static std::vector<uint8_t> extendedStatusUpdated(const EarbudState& state,
                                                      Generation generation);
    // 0xB4: the bud letter followed by its version, one message per bud.
    static std::vector<uint8_t> softwareVersion(char bud, const std::string& version);
    // 0x29 answer: both serial numbers, left first, each exactly serialLength() characters.
    static std::vector<uint8_t> serialNumbers(const EarbudState& state, Generation generation);

    static std::size_t serialLength(Generation generation);
    // A serial of the generation's length derived from the address, for devices given none.
    static std::string defaultSerial(uint64_t address, char bud, Generation generation);

private:
    static uint8_t byte(int value);
};

}  // namespace sim
