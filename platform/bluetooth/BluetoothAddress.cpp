#include "platform/bluetooth/BluetoothAddress.h"

#include <cstdio>

namespace platform::bluetooth {
namespace {

constexpr std::size_t kAddressTextLength = 17;

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string formatAddress(uint64_t address) {
    char text[kAddressTextLength + 1];
    std::snprintf(text, sizeof(text), "%02X:%02X:%02X:%02X:%02X:%02X",
                  static_cast<unsigned>((address >> 40) & 0xFF),
                  static_cast<unsigned>((address >> 32) & 0xFF),
                  static_cast<unsigned>((address >> 24) & 0xFF),
                  static_cast<unsigned>((address >> 16) & 0xFF),
                  static_cast<unsigned>((address >> 8) & 0xFF),
                  static_cast<unsigned>(address & 0xFF));
    return text;
}

std::optional<uint64_t> parseAddress(std::string_view text) {
    if (text.size() != kAddressTextLength) {
        return std::nullopt;
    }
    uint64_t address = 0;
    for (std::size_t group = 0; group < 6; ++group) {
        const std::size_t at = group * 3;
        if (group > 0 && text[at - 1] != ':') {
            return std::nullopt;
        }
        const int high = hexValue(text[at]);
        const int low = hexValue(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        address = (address << 8) | static_cast<uint64_t>(high * 16 + low);
    }
    return address;
}

}  // namespace platform::bluetooth
