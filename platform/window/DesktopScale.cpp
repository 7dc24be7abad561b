#include "platform/window/DesktopScale.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace platform::window::desktop_scale {

namespace {

// Factors beyond these are a typo, not a desktop.
constexpr double kSmallest = 0.5;
constexpr double kLargest = 4.0;

double usable(double factor) {
    return (factor >= kSmallest && factor <= kLargest) ? factor : 0;
}

}  // namespace

double fromGdkScale(const char* value) {
    if (value == nullptr || *value == '\0') {
        return 0;
    }
    char* end = nullptr;
    const long scale = std::strtol(value, &end, 10);
    if (end == value || *end != '\0') {
        return 0;
    }
    return usable(static_cast<double>(scale));
}

double fromXResources(const std::string& resources) {
    std::istringstream lines(resources);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string key = "Xft.dpi:";
        if (line.compare(0, key.size(), key) != 0) {
            continue;
        }
        const char* text = line.c_str() + key.size();
        char* end = nullptr;
        const double dpi = std::strtod(text, &end);
        if (end == text) {
            return 0;
        }
        while (*end == ' ' || *end == '\t' || *end == '\r') {
            ++end;
        }
        return *end == '\0' ? usable(dpi / 96.0) : 0;
    }
    return 0;
}

double fromOutputWidths(int pixelWidth, int logicalWidth) {
    if (pixelWidth <= 0 || logicalWidth <= 0) {
        return 0;
    }
    // Outputs scale by whole or quarter steps; rounding hides a width that is off by a pixel.
    const double factor = std::round(4.0 * pixelWidth / logicalWidth) / 4.0;
    return usable(factor);
}

}  // namespace platform::window::desktop_scale
