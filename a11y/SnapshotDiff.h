#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "a11y/AccessibleNode.h"

namespace a11y {

// One AT-SPI event: raised by the node `source` on interface org.a11y.atspi.Event.<kind>.
struct AccessibleEvent {
    enum class Data { None, Text, Number, Child };
    uint32_t source = 0;
    std::string kind;    // "Object", "Window", "Focus"
    std::string member;  // "StateChanged", "PropertyChange", "ChildrenChanged", "Create", …
    std::string detail;  // "focused", "accessible-name", "add", …
    int32_t detail1 = 0;
    int32_t detail2 = 0;
    Data data = Data::None;
    std::string text;
    double number = 0;
    uint32_t child = 0;
};

// The events that tell a listener how `before` became `after`, in the order a screen reader
// should hear them: windows created and activated, children added, names, values and states
// changed, focus, then children removed and windows deactivated and destroyed.
std::vector<AccessibleEvent> DiffSnapshots(const AccessibleSnapshot& before,
                                           const AccessibleSnapshot& after);

}  // namespace a11y
