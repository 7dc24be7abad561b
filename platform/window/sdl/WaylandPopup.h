#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/window/WindowTypes.h"

struct wl_buffer;
struct wl_surface;
struct xdg_popup;
struct xdg_positioner;
struct xdg_surface;

namespace platform::window {

class WaylandShell;

// One SDL window's surface shown as an xdg popup of another window: placed at an offset from
// its parent's top-left corner, kept on the output by the compositor, and drawn from shared
// memory (SDL never shows nor draws this window). Popups take no keyboard focus: the parent
// keeps the keys, as menus and tooltips expect.
class WaylandPopup {
public:
    // `scale`: picture pixels per unit of the output.
    WaylandPopup(WaylandShell& shell, wl_surface* surface, int scale);
    ~WaylandPopup();
    WaylandPopup(const WaylandPopup&) = delete;
    WaylandPopup& operator=(const WaylandPopup&) = delete;

    // Maps the surface as a popup of `parent` with its top-left corner at `offset` from the
    // parent's (in the parent's units, `scale` picture pixels each); an already mapped popup
    // moves there.
    void map(xdg_surface* parent, int scale, Point offset, int width, int height);
    void unmap();
    bool mapped() const { return m_popup != nullptr; }
    // Shows the picture (cairo's premultiplied ARGB32 or RGB24, as Wayland takes them); kept
    // until the compositor has configured the popup.
    void present(cairo_surface_t* picture);

private:
    struct Buffer;
    struct Place {
        Point offset;
        int width = 0;
        int height = 0;
    };
    xdg_positioner* makePositioner(const Place& place) const;
    void reposition(const Place& place);
    static void onConfigure(void* data, xdg_surface* surface, uint32_t serial);
    static void onPopupConfigure(void* data, xdg_popup* popup, int32_t x, int32_t y, int32_t width,
                                 int32_t height);
    static void onPopupDone(void* data, xdg_popup* popup);
    static void onPopupRepositioned(void* data, xdg_popup* popup, uint32_t token);
    static void onBufferRelease(void* data, wl_buffer* buffer);
    Buffer* freeBuffer(int width, int height, int stride, uint32_t format);
    void attachCurrent();

    WaylandShell& m_shell;
    wl_surface* m_surface;
    xdg_surface* m_xdgSurface = nullptr;
    xdg_popup* m_popup = nullptr;
    xdg_surface* m_parent = nullptr;
    uint32_t m_repositions = 0;
    bool m_moving = false;             // a move asked for, its configure not seen yet
    std::optional<Place> m_nextPlace;  // the place asked for meanwhile
    bool m_configured = false;
    int m_scale = 1;
    std::vector<std::unique_ptr<Buffer>> m_buffers;
    Buffer* m_current = nullptr;  // the last picture, attached once configured
};

}  // namespace platform::window
