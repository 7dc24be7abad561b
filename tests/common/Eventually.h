#pragma once

#include <chrono>
#include <functional>

namespace testing_support {

// Checks condition until it holds or limit has passed: true as soon as it holds, false when the
// limit ran out. For conditions that no event announces (a file appearing, another process's
// state); a test that can wait on an event or condition variable should do that instead. The
// limit is a bound against hanging, never a measure of speed.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace testing_support
