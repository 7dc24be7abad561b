#pragma once

#include <cstdint>

#include "a11y/AccessibleNode.h"

namespace a11y {

// What the bus side asks of the UI side; every call may wait a little for the UI thread but
// never makes it wait.
class IAccessibleSource {
public:
    virtual ~IAccessibleSource() = default;
    // A snapshot no older than the last change the UI thread made, as far as it can tell
    // within a short wait; the last one otherwise.
    virtual SnapshotPtr Fresh() = 0;
    // Queues the action on the UI thread; false when the node has no such action.
    virtual bool RequestAction(uint32_t id, int index) = 0;
    virtual bool RequestFocus(uint32_t id) = 0;
};

}  // namespace a11y
