#include "platform/window/sdl/WaylandShell.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "xdg-shell-client-protocol.h"

namespace platform::window {

WaylandShell::Handles WaylandShell::handlesOf(SDL_Window* window) {
    Handles handles;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window != nullptr && SDL_GetWindowWMInfo(window, &info) == SDL_TRUE &&
        info.subsystem == SDL_SYSWM_WAYLAND) {
        handles.display = info.info.wl.display;
        handles.surface = info.info.wl.surface;
        handles.shellSurface = info.info.wl.xdg_surface;
    }
    return handles;
}

std::unique_ptr<WaylandShell> WaylandShell::connect(wl_display* display) {
    if (display == nullptr) {
        return nullptr;
    }
    std::unique_ptr<WaylandShell> shell(new WaylandShell(display));
    static const wl_registry_listener listener = {&WaylandShell::onGlobal,
                                                  &WaylandShell::onGlobalRemoved};
    shell->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(shell->m_registry, &listener, shell.get());
    // One round trip brings the globals; SDL's own events met meanwhile are dispatched to SDL.
    if (wl_display_roundtrip(display) < 0 || shell->m_wmBase == nullptr ||
        shell->m_shm == nullptr) {
        return nullptr;
    }
    return shell;
}

WaylandShell::~WaylandShell() {
    if (m_wmBase != nullptr) {
        xdg_wm_base_destroy(m_wmBase);
    }
    if (m_shm != nullptr) {
        wl_shm_destroy(m_shm);
    }
    if (m_registry != nullptr) {
        wl_registry_destroy(m_registry);
    }
    wl_display_flush(m_display);
}

void WaylandShell::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                            uint32_t version) {
    auto* self = static_cast<WaylandShell*>(data);
    if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && self->m_wmBase == nullptr) {
        // Version 3 can move a mapped popup; 1 is enough otherwise.
        const uint32_t bound = std::min<uint32_t>(version, 3);
        self->m_wmBase = static_cast<xdg_wm_base*>(
            wl_registry_bind(registry, name, &xdg_wm_base_interface, bound));
        static const xdg_wm_base_listener pong = {&WaylandShell::onPing};
        xdg_wm_base_add_listener(self->m_wmBase, &pong, self);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && self->m_shm == nullptr) {
        self->m_shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    }
}

void WaylandShell::onGlobalRemoved(void*, wl_registry*, uint32_t) {}

void WaylandShell::onPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

}  // namespace platform::window
