#pragma once

#include <deque>
#include <vector>

#include "platform/window/BackendBase.h"
#include "platform/window/headless/HeadlessWindow.h"

namespace platform::window {

// A backend without a display. Tests inject input with the inject* operations (on the UI
// thread), drive timers with platform::ManualTickSource, and read presented pictures from the
// windows. With setHitTestSupported, presses go through the window's hit-test like on a
// desktop: a press that the window hands to the window manager (caption or border) is recorded
// as a SystemAction and swallowed.
class HeadlessBackend : public BackendBase {
public:
    struct SystemAction {
        WindowId window = 0;
        HitCode code = HitCode::Normal;
        Point point;
    };
    struct MessageBox {
        MessageBoxKind kind;
        std::string title;
        std::string text;
    };

    HeadlessBackend();
    ~HeadlessBackend() override;

    const char* name() const override { return "headless"; }
    std::unique_ptr<Window> createWindow(const WindowOptions& options) override;
    double screenDpi() override { return m_dpi; }
    double desktopScale() override { return m_desktopScale; }
    Point cursorPosition() override { return m_cursor; }
    Rect displayBoundsNear(Point point) override;
    int wheelScrollLines() override { return m_wheelLines; }
    void showMessageBox(Window* owner, MessageBoxKind kind, const std::string& title,
                        const std::string& text) override;

    // Input, as a desktop would deliver it to the window (client pixel coordinates).
    void injectMouseMove(WindowId window, int x, int y, uint32_t modifiers = kModNone);
    void injectButtonDown(WindowId window, int x, int y, MouseButton button = MouseButton::Left,
                          int clicks = 1, uint32_t modifiers = kModNone);
    void injectButtonUp(WindowId window, int x, int y, MouseButton button = MouseButton::Left,
                        uint32_t modifiers = kModNone);
    void injectWheel(WindowId window, int x, int y, int delta, uint32_t modifiers = kModNone);
    void injectMouseLeave(WindowId window);
    void injectKeyDown(WindowId window, int key, uint32_t modifiers = kModNone,
                       bool repeat = false);
    void injectKeyUp(WindowId window, int key, uint32_t modifiers = kModNone);
    void injectText(WindowId window, const std::string& text);
    void injectCloseRequest(WindowId window);
    // The user resized the window to a new client size.
    void injectResize(WindowId window, int width, int height);
    void inject(WindowEvent event);

    // Settings the desktop would provide.
    void setScreenDpi(double dpi) { m_dpi = dpi; }
    void setDesktopScale(double scale) { m_desktopScale = scale; }
    void setDisplayBounds(Rect bounds) { m_display = bounds; }
    void setWheelScrollLines(int lines) { m_wheelLines = lines; }
    // Whether windows made from now on hand caption and border presses to a (simulated)
    // window manager, as a desktop with hit-test support does. Off by default: the program
    // then drags its windows itself.
    void setHitTestSupported(bool supported) { m_hitTestSupported = supported; }
    // Whether a compositor blends translucent windows over the desktop (on by default); without
    // one, translucent windows made from now on take the shape of their pictures.
    void setCompositing(bool compositing) { m_compositing = compositing; }
    bool compositing() const { return m_compositing; }
    bool hitTestSupported() const { return m_hitTestSupported; }

    HeadlessWindow* window(WindowId id) const;
    const std::vector<SystemAction>& systemActions() const { return m_systemActions; }
    const std::vector<MessageBox>& messageBoxes() const { return m_messageBoxes; }
    bool nativeQueueEmpty() const { return m_native.empty(); }
    // The window that last took the keyboard focus (Window::takeFocus); 0 when it went away.
    WindowId focusedWindow() const { return m_focused; }
    void setFocusedWindow(WindowId window) { m_focused = window; }
    void windowGone(WindowId window) {
        if (m_focused == window) {
            m_focused = 0;
        }
    }

    // Used by HeadlessWindow.
    void queueNative(WindowEvent event);

protected:
    bool pollNative(WindowEvent& event) override;
    void waitNative(std::chrono::milliseconds timeout) override;
    void wakeNative() override {}

private:
    bool handOverToWindowManager(const WindowEvent& event);
    void trackCursor(WindowId window, int x, int y);

    std::deque<WindowEvent> m_native;  // UI thread only
    std::vector<SystemAction> m_systemActions;
    std::vector<MessageBox> m_messageBoxes;
    WindowId m_nextId = 1;
    double m_dpi = 96.0;
    double m_desktopScale = 0;
    Rect m_display{0, 0, 1920, 1080};
    int m_wheelLines = 3;
    bool m_hitTestSupported = false;
    bool m_compositing = true;
    WindowId m_focused = 0;
    Point m_cursor;
};

}  // namespace platform::window
