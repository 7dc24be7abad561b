#include "platform/bluetooth/bluez/BluezOptions.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace platform::bluetooth {
namespace {

constexpr long kMinWindowMs = 100;
constexpr long kMaxWindowMs = 60000;

}  // namespace

BluezOptions BluezOptions::fromEnvironment() {
    BluezOptions options;
    const char* text = std::getenv("AURALIS_BLUEZ_SCAN_MS");
    if (text == nullptr || *text == '\0') {
        return options;
    }
    long value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, problem] = std::from_chars(text, end, value);
    if (problem == std::errc() && stop == end && value >= kMinWindowMs && value <= kMaxWindowMs) {
        options.discoveryWindow = std::chrono::milliseconds(value);
    }
    return options;
}

}  // namespace platform::bluetooth
