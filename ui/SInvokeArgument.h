#pragma once

#include <cstdint>

class IDispatcherInvokeDelegate;

// A record a worker posts to the UI thread: what happened (id, defined by each target), a small
// argument, and the target (filled in by the dispatcher). Posters may derive a record with
// further fields; the dispatcher destroys it as a whole after delivery, hence the virtual
// destructor.
class SInvokeArgument {
public:
    SInvokeArgument() = default;
    SInvokeArgument(int32_t invokeId, int32_t parameter) : id(invokeId), param(parameter) {}
    virtual ~SInvokeArgument() = default;

    int32_t id = 0;
    int32_t param = 0;
    IDispatcherInvokeDelegate* target = nullptr;
};
