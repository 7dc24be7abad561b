#pragma once

#include "platform/window/WindowEvent.h"

// The application's part in the dispatcher's loop (SGUIApp implements it).
class IDispatcherHost {
public:
    virtual ~IDispatcherHost() = default;
    // A first look at every event before it reaches its window; nonzero consumes it.
    virtual int PreTranslateMessage(const platform::window::WindowEvent& event) = 0;
    // Called with 0, 1, 2, ... while it returns 1, once the queue has run dry.
    virtual int OnIdle(int count) = 0;
};
