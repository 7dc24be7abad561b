#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::bluetooth {

// A 64-bit Bluetooth device address as people and the virtual neighbourhood write it:
// "AA:BB:CC:DD:EE:FF", most significant byte first (the low 48 bits of the value).
std::string formatAddress(uint64_t address);

// Reads "AA:BB:CC:DD:EE:FF" (either case). Empty for anything else.
std::optional<uint64_t> parseAddress(std::string_view text);

}  // namespace platform::bluetooth
