#pragma once

class SInvokeArgument;

// Receives records posted through the dispatcher, on the UI thread.
class IDispatcherInvokeDelegate {
public:
    virtual ~IDispatcherInvokeDelegate() = default;
    virtual void Dispatcher_Invoked(SInvokeArgument* argument) = 0;
};
