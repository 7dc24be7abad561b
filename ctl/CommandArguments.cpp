#include "ctl/CommandArguments.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "ctl/Output.h"
#include "link/NarrowText.h"
#include "platform/bluetooth/BluetoothAddress.h"

namespace ctl {
namespace {

constexpr int kMaxSeconds = 24 * 60 * 60;

}  // namespace

// Text the earbuds sent, fit for a terminal and for JSON: up to the first NUL, as UTF-8.
std::string shown(const std::string& text) {
    return devlink::narrowTextToUtf8(std::string_view(text.c_str(), std::strlen(text.c_str())));
}

std::optional<uint64_t> addressArgument(const std::string& text, Output& output) {
    const std::optional<uint64_t> address = platform::bluetooth::parseAddress(text);
    if (!address) {
        output.error("'" + text + "' is not a Bluetooth address (AA:BB:CC:DD:EE:FF)");
    }
    return address;
}

// --seconds N (1 to a day), else the fallback; empty after complaining about a bad value.
std::optional<int> secondsOption(const Invocation& invocation, int fallback, Output& output) {
    const std::optional<std::string> text = invocation.option("--seconds");
    if (!text) {
        return fallback;
    }
    int value = 0;
    const char* last = text->data() + text->size();
    const auto [end, problem] = std::from_chars(text->data(), last, value);
    if (problem != std::errc() || end != last || value < 1 || value > kMaxSeconds) {
        output.error("--seconds needs a whole number of seconds from 1 to " +
                     std::to_string(kMaxSeconds) + ", got '" + *text + "'");
        return std::nullopt;
    }
    return value;
}

}  // namespace ctl
