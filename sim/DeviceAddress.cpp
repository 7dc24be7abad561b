#include "sim/DeviceAddress.h"

#include <cstdio>

namespace sim {
namespace {

int hexDigit(char c) {
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

std::string formatWith(uint64_t address, char separator) {
    char text[18];
    std::snprintf(text, sizeof(text), "%02X%c%02X%c%02X%c%02X%c%02X%c%02X",
                  static_cast<unsigned>((address >> 40) & 0xFF), separator,
                  static_cast<unsigned>((address >> 32) & 0xFF), separator,
                  static_cast<unsigned>((address >> 24) & 0xFF), separator,
                  static_cast<unsigned>((address >> 16) & 0xFF), separator,
                  static_cast<unsigned>((address >> 8) & 0xFF), separator,
                  static_cast<unsigned>(address & 0xFF));
    return text;
}

}  // namespace

std::optional<uint64_t> DeviceAddress::parse(std::string_view text) {
    if (text.size() != 17) {
        return std::nullopt;
    }
    uint64_t address = 0;
    for (std::size_t group = 0; group < 6; ++group) {
        const std::size_t at = group * 3;
        if (group > 0 && text[at - 1] != ':') {
            return std::nullopt;
        }
        const int high = hexDigit(text[at]);
        const int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        address = (address << 8) | static_cast<uint64_t>(high * 16 + low);
    }
    return address;
}

std::string DeviceAddress::format(uint64_t address) {
    return formatWith(address, ':');
}

std::string DeviceAddress::fileStem(uint64_t address) {
    return formatWith(address, '_');
}

}  // namespace sim
