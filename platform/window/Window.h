#pragma once

#include <cairo.h>

#include <string>

#include "platform/window/WindowEvent.h"
#include "platform/window/WindowTypes.h"

namespace platform::window {

// Receives the events of one native window on the UI thread.
class WindowListener {
public:
    virtual ~WindowListener() = default;
    virtual void onWindowEvent(const WindowEvent& event) = 0;
    // Asked when the left button goes down (and, on some backends, when the pointer moves):
    // Normal gives the press to the program; Caption and the resize codes hand the press to the
    // window manager, which then moves or resizes the window itself.
    virtual HitCode onHitTest(Point client) = 0;
};

class Window;

struct WindowOptions {
    std::string title;      // the window list's and task switcher's name for it
    Rect rect;              // screen position and client size in pixels
    bool centered = false;  // ignore rect.x/y and centre on the primary display
    uint32_t style = kStyleBorderless;
    // The window a dialog, menu or tooltip belongs to; null for a window of its own.
    Window* owner = nullptr;
};

// A native top-level window. Created hidden by Backend::createWindow; every operation is for the
// UI thread only. Destroying the object closes the window and kills its timers.
class Window {
public:
    virtual ~Window() = default;

    virtual WindowId id() const = 0;
    virtual void setListener(WindowListener* listener) = 0;

    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    virtual void raise() = 0;
    // Raises the window and gives it the keyboard focus (a dialog that opened, an owner its
    // dialog gave back to). Popups that never take the keyboard ignore it.
    virtual void takeFocus() { raise(); }
    // Minimises the window to the desktop's task bar or dock (the title bar's minimise button).
    virtual void minimize() = 0;
    virtual bool isMinimized() const = 0;
    virtual void setTitle(const std::string& title) = 0;

    // Screen position and client size in pixels.
    virtual Rect screenRect() const = 0;
    virtual void move(int x, int y) = 0;
    virtual void resize(int width, int height) = 0;

    // Copies the picture of an image surface (ARGB32 or RGB24) onto the window and shows it.
    // Pixels outside the surface keep their old content. Translucent pixels of an ARGB32 surface
    // show as transparency() says: over black unless the window was made kStyleTranslucent.
    virtual void present(cairo_surface_t* surface) = 0;
    // What became of kStyleTranslucent on this display.
    virtual Transparency transparency() const { return Transparency::None; }
    // Constant opacity of the whole window, 0 (invisible) to 1; needs a compositing manager.
    // Returns false when the platform refused.
    virtual bool setOpacity(double opacity) = 0;

    // Starts (or restarts) timer `id` of this window; each tick arrives as a Timer event on the
    // UI thread. Periods below 10 ms count as 10 ms. Returns false when refused (id 0).
    virtual bool setTimer(uint32_t id, uint32_t milliseconds) = 0;
    virtual bool killTimer(uint32_t id) = 0;

    // Pointer capture: while set, pointer events keep arriving even outside the window.
    virtual bool setCapture() = 0;
    virtual void releaseCapture() = 0;
    virtual bool hasCapture() const = 0;

    // Asks for a MouseLeave event when the pointer leaves the client area. Returns false when
    // the platform cannot report it.
    virtual bool trackMouseLeave() = 0;

    virtual void setCursor(Cursor cursor) = 0;

    // A disabled window receives no pointer or key input (an owner while its modal dialog runs);
    // a press on it arrives as InputRefused instead.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    // Asks the platform to route the window's presses through WindowListener::onHitTest.
    // Returns false when the backend cannot hand moves and resizes to a window manager; the
    // program still sees the presses then.
    virtual bool enableHitTest() = 0;
};

}  // namespace platform::window
