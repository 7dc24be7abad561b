#include "sim/DeviceAddress.h"

#include <algorithm>

#include "platform/bluetooth/BluetoothAddress.h"

namespace sim {

// The neighbourhood writes addresses exactly as the programs' Bluetooth layer does, so both
// read and write them through one pair of functions.
std::optional<uint64_t> DeviceAddress::parse(std::string_view text) {
    return platform::bluetooth::parseAddress(text);
}

std::string DeviceAddress::format(uint64_t address) {
    return platform::bluetooth::formatAddress(address);
}

std::string DeviceAddress::fileStem(uint64_t address) {
    std::string stem = format(address);
    std::replace(stem.begin(), stem.end(), ':', '_');
    return stem;
}

}  // namespace sim
