#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// Bluetooth addresses as the neighbourhood protocol writes them: AA:BB:CC:DD:EE:FF, most
// significant byte first, held as the low 48 bits of a 64-bit value.
class DeviceAddress {
public:
    // Accepts exactly six two-digit hexadecimal groups separated by ':' (either case).
    static std::optional<uint64_t> parse(std::string_view text);
    // Upper-case, colon-separated.
    static std::string format(uint64_t address);
    // A form usable as a file name: AA_BB_CC_DD_EE_FF.
    static std::string fileStem(uint64_t address);
};

}  // namespace sim
