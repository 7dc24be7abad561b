#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/window/Window.h"
#include "platform/window/WindowEvent.h"

namespace platform::window {

// The window system of one process: native windows, the UI thread's event queue and its wait.
//
// Thread rules: post, postCall, send, wake and postQuit may be called from any thread; every
// other operation belongs to the UI thread (the thread that runs the loop).
class Backend {
public:
    virtual ~Backend() = default;

    // "sdl" or "headless".
    virtual const char* name() const = 0;

    // Creates a hidden window. Returns null when the platform refused (the reason is logged).
    virtual std::unique_ptr<Window> createWindow(const WindowOptions& options) = 0;

    // Takes the next event without waiting. False when nothing is pending.
    virtual bool pollEvent(WindowEvent& event) = 0;
    // Waits for the next event up to timeout (negative: without limit). Returns false when the
    // time ran out. A due timer, platform input or anything posted ends the wait at once.
    virtual bool waitEvent(WindowEvent& event, std::chrono::milliseconds timeout) = 0;
    // Hands an event to its window's listener, or runs a Call. Quit and Wake do nothing here.
    virtual void dispatch(const WindowEvent& event) = 0;

    // Appends an event to the queue and wakes the waiting loop; never blocks on the UI thread.
    virtual void post(WindowEvent event) = 0;
    void postCall(std::function<void()> call);
    void postQuit();
    void wake();
    // Runs `call` on the UI thread and waits until it has run. Called on the UI thread it runs
    // at once. Returns false when the call did not run within `timeout` (negative: no limit) or
    // was dropped because the backend went away.
    virtual bool send(std::function<void()> call, std::chrono::milliseconds timeout) = 0;

    // Horizontal resolution of the primary screen in dots per inch; 96 when unknown.
    virtual double screenDpi() = 0;
    // The desktop's own scale setting (1 = 96 dots per inch), or 0 when it has none the
    // backend can read.
    virtual double desktopScale() { return 0; }
    // Pointer position in screen pixels.
    virtual Point cursorPosition() = 0;
    // Usable area of the display nearest to a screen point.
    virtual Rect displayBoundsNear(Point point) = 0;
    // Lines to scroll per wheel notch (the desktop's setting where one exists).
    virtual int wheelScrollLines() = 0;

    // A blocking message box; with no display the message goes to stderr.
    virtual void showMessageBox(Window* owner, MessageBoxKind kind, const std::string& title,
                                const std::string& text) = 0;
};

// Makes the backend the environment asks for: AURALIS_WINDOW_BACKEND=headless|sdl, else
// `fallback`. Returns null when that backend cannot start (no display for sdl); the reason is
// logged. Defined in the auralis_platform_window_select library.
std::unique_ptr<Backend> createBackend(const std::string& fallback = "sdl");

}  // namespace platform::window
