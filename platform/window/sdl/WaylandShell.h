#pragma once

#include <memory>

struct SDL_Window;
struct wl_display;
struct wl_registry;
struct wl_shm;
struct wl_surface;
struct xdg_surface;
struct xdg_wm_base;

namespace platform::window {

// The Wayland globals the program's own popup surfaces need, bound on SDL's display connection.
// SDL 2.26 makes an xdg popup of a window with the popup-menu or tooltip flag, but it leaves the
// popup's positioner incomplete (the compositor ends the connection) and places it at the
// pointer, so the backend maps those windows itself. Events for these objects are dispatched by
// SDL's event pump on the UI thread, like SDL's own.
class WaylandShell {
public:
    // What SDL tells of a window's Wayland objects; null where it has none (a hidden window has
    // no shell surface).
    struct Handles {
        wl_display* display = nullptr;
        wl_surface* surface = nullptr;
        xdg_surface* shellSurface = nullptr;
    };
    static Handles handlesOf(SDL_Window* window);

    // Null when the display offers no xdg_wm_base or wl_shm.
    static std::unique_ptr<WaylandShell> connect(wl_display* display);
    ~WaylandShell();
    WaylandShell(const WaylandShell&) = delete;
    WaylandShell& operator=(const WaylandShell&) = delete;

    wl_display* display() const { return m_display; }
    xdg_wm_base* wmBase() const { return m_wmBase; }
    wl_shm* shm() const { return m_shm; }

private:
    explicit WaylandShell(wl_display* display) : m_display(display) {}
    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void onGlobalRemoved(void* data, wl_registry* registry, uint32_t name);
    static void onPing(void* data, xdg_wm_base* base, uint32_t serial);

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    xdg_wm_base* m_wmBase = nullptr;
    wl_shm* m_shm = nullptr;
};

}  // namespace platform::window
