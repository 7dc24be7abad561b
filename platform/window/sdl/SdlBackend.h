#pragma once

#include <SDL2/SDL.h>

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/BackendBase.h"
#include "platform/window/WindowTypes.h"
#include "platform/window/sdl/SdlWindow.h"

namespace platform::window {

// The desktop backend over SDL2's video subsystem. The UI thread blocks in
// SDL_WaitEventTimeout; posts from other threads push a registered wake-up event, which ends
// the wait at once. Timers are kept by BackendBase and bound the wait, so SDL's timer thread
// is not used.
class SdlWindow;
class WaylandShell;

class SdlBackend : public BackendBase {
public:
    // Null when SDL's video subsystem cannot start (no display); the reason is logged.
    static std::unique_ptr<SdlBackend> create();
    ~SdlBackend() override;

    const char* name() const override { return "sdl"; }
    std::unique_ptr<Window> createWindow(const WindowOptions& options) override;
    double screenDpi() override;
    double desktopScale() override;
    Point cursorPosition() override;
    Rect displayBoundsNear(Point point) override;
    int wheelScrollLines() override { return 3; }
    void showMessageBox(Window* owner, MessageBoxKind kind, const std::string& title,
                        const std::string& text) override;

    SDL_Cursor* systemCursor(Cursor cursor);
    // Pixels per SDL window unit: the Wayland output's whole-number scale, where windows are
    // laid out in logical units and drawn with that many pixels per unit; 1 elsewhere. Every
    // coordinate the program sees is in pixels.
    int pixelRatio() const { return m_pixelRatio; }
    int toPixels(int units) const { return units * m_pixelRatio; }
    // Positions round down, sizes up, so a window always holds its whole picture.
    int toUnits(int pixels) const;
    int toUnitsCeil(int pixels) const;
    // The window a Wayland popup opens on: the one with the keyboard (a menu), else the one
    // under the pointer (a tooltip); a popup's own parent when that is another popup.
    SDL_Window* popupParentFor(const SdlWindow* popup);
    // Dialogs shown as popups, in the order they were mapped (see keyTarget).
    void popupMapped(WindowId popup, bool mapped);

protected:
    bool pollNative(WindowEvent& event) override;
    void waitNative(std::chrono::milliseconds timeout) override;
    void wakeNative() override;

private:
    explicit SdlBackend(uint32_t wakeEventType);
    bool translate(const SDL_Event& native, WindowEvent& event);
    bool translateWindowEvent(const SDL_WindowEvent& native, WindowEvent& event);
    void trackCursor(uint32_t windowId, int x, int y);
    // The window keys sent to `focused` are for.
    WindowId keyTarget(WindowId focused);
    // A window whose picture's alpha is kept (per pixel or as a shape); null when the display
    // offers neither, and the caller makes an ordinary one.
    std::unique_ptr<SdlWindow> createTranslucentWindow(const WindowOptions& options, int x, int y);
    // An ordinary desktop window (translucent where asked and possible) at x,y.
    std::unique_ptr<SdlWindow> createDesktopWindow(const WindowOptions& options, int x, int y);
    // Menus and tooltips on Wayland (see WaylandShell); null when the compositor cannot map
    // them, and the caller makes an ordinary window.
    std::unique_ptr<Window> createWaylandPopup(const WindowOptions& options);

    const uint32_t m_wakeEventType;
    std::atomic<bool> m_wakePending{false};
    std::deque<WindowEvent> m_pending;  // translated while waiting; UI thread only
    std::array<SDL_Cursor*, 11> m_cursors{};
    // The pointer's screen position as our own windows last saw it.
    bool m_cursorSeen = false;
    Point m_cursor;
    std::string m_argbVisual;                 // X visual id with alpha, found on first use
    std::unique_ptr<WaylandShell> m_wayland;  // bound with the first popup
    std::vector<WindowId> m_keyedPopups;
    int m_pixelRatio = 1;
};

}  // namespace platform::window
