#include "platform/bluetooth/bluez/BluezOptions.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace platform::bluetooth {
namespace {

constexpr long kMinWindowMs = 100;
constexpr long kMaxWindowMs = 60000;
constexpr double kMinScale = 0.001;
constexpr double kMaxScale = 1.0;

template <typename T>
std::optional<T> numberFromEnvironment(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    T value{};
    const char* end = text + std::strlen(text);
    const auto [stop, problem] = std::from_chars(text, end, value);
    if (problem != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::chrono::milliseconds scaled(std::chrono::milliseconds value, double factor) {
    return std::chrono::milliseconds(
        static_cast<std::chrono::milliseconds::rep>(static_cast<double>(value.count()) * factor));
}

}  // namespace

BluezOptions BluezOptions::fromEnvironment() {
    BluezOptions options;
    if (const std::optional<double> scale =
            numberFromEnvironment<double>("AURALIS_BLUEZ_TIME_SCALE");
        scale && *scale >= kMinScale && *scale <= kMaxScale) {
        options.scaleDiscovery(*scale);
    }
    if (const std::optional<long> window = numberFromEnvironment<long>("AURALIS_BLUEZ_SCAN_MS");
        window && *window >= kMinWindowMs && *window <= kMaxWindowMs) {
        options.discoveryWindow = std::chrono::milliseconds(*window);
    }
    return options;
}

void BluezOptions::scaleDiscovery(double factor) {
    presenceTimeout = scaled(presenceTimeout, factor);
    discoveryIdleStop = scaled(discoveryIdleStop, factor);
}

}  // namespace platform::bluetooth
