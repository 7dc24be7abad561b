#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window/WindowTypes.h"

namespace platform::window {

// One event of the UI thread's queue: input for a window, a timer tick, a change of the window's
// state, a message posted by the program, or a call to run on the UI thread.
struct WindowEvent {
    enum class Type {
        None,
        MouseMove,   // x, y (client pixels), modifiers
        MouseLeave,  // the pointer left the client area
        ButtonDown,  // x, y, button, clicks (2 for the second press of a double click)
        ButtonUp,    // x, y, button
        Wheel,       // x, y, wheelDelta (120 per notch, positive away from the user)
        KeyDown,     // key, modifiers, repeat, system (Alt held or F10)
        KeyUp,       // key, modifiers, system
        TextInput,   // text (UTF-8)
        Timer,       // timerId
        Resized,     // width, height: the new client size in pixels
        Moved,       // x, y: the new screen position of the window
        Shown,
        Hidden,
        Exposed,         // the window's pixels must be presented again
        CloseRequested,  // the user or the program asked the window to close
        FocusGained,
        FocusLost,
        InputRefused,  // a press reached a disabled window (its modal dialog should come up)
        DropBegin,     // x, y: files are being dropped on the window
        DropFile,      // text: one dropped file's path
        DropComplete,
        User,  // code, param: a message the program posted to a window
        Call,  // call: a function to run on the UI thread
        Wake,  // nothing to do but to let the loop run its own steps
        Quit,  // the loop should end
    };

    Type type = Type::None;
    WindowId window = 0;
    int x = 0;
    int y = 0;
    MouseButton button = MouseButton::None;
    int clicks = 0;
    int wheelDelta = 0;
    int key = 0;
    uint32_t modifiers = kModNone;
    bool repeat = false;
    bool system = false;
    uint32_t timerId = 0;
    int width = 0;
    int height = 0;
    int code = 0;
    intptr_t param = 0;
    std::string text;
    std::function<void()> call;
};

const char* toString(WindowEvent::Type type);

}  // namespace platform::window
