#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ctl/CommandTable.h"

namespace ctl {

class Output;

// Text the earbuds sent, fit for a terminal and for JSON: up to the first NUL, as UTF-8.
std::string shown(const std::string& text);

// A Bluetooth address argument (AA:BB:CC:DD:EE:FF); empty after complaining.
std::optional<uint64_t> addressArgument(const std::string& text, Output& output);

// --seconds N (1 to a day), else the fallback; empty after complaining about a bad value.
std::optional<int> secondsOption(const Invocation& invocation, int fallback, Output& output);

}  // namespace ctl
