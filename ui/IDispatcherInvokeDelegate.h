#pragma once

class SInvokeArgument;

// Receives records posted through the dispatcher, on the UI thread. Records still queued for a
// receiver are dropped when it is destroyed.
class IDispatcherInvokeDelegate {
public:
    virtual ~IDispatcherInvokeDelegate();
    virtual void Dispatcher_Invoked(SInvokeArgument* argument) = 0;
};
