#include "platform/window/sdl/WaylandPopup.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>
#include <optional>
#include <utility>

#include "base/Log.h"
#include "platform/window/sdl/WaylandShell.h"
#include "xdg-shell-client-protocol.h"

namespace platform::window {

// A shared-memory picture the compositor reads; busy from attach until it releases it.
struct WaylandPopup::Buffer {
    wl_buffer* buffer = nullptr;
    void* pixels = MAP_FAILED;
    std::size_t bytes = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    uint32_t format = 0;
    bool busy = false;

    ~Buffer() {
        if (buffer != nullptr) {
            wl_buffer_destroy(buffer);
        }
        if (pixels != MAP_FAILED) {
            munmap(pixels, bytes);
        }
    }
};

WaylandPopup::WaylandPopup(WaylandShell& shell, wl_surface* surface, int scale)
    : m_shell(shell), m_surface(surface), m_scale(scale) {}

WaylandPopup::~WaylandPopup() {
    unmap();
    m_current = nullptr;
    m_buffers.clear();
    wl_display_flush(m_shell.display());
}

xdg_positioner* WaylandPopup::makePositioner(const Place& place) const {
    // The popup's corner at the anchor point; the compositor slides it back onto the output
    // when it would hang off an edge.
    xdg_positioner* positioner = xdg_wm_base_create_positioner(m_shell.wmBase());
    xdg_positioner_set_size(positioner, place.width, place.height);
    xdg_positioner_set_anchor_rect(positioner, place.offset.x, place.offset.y, 1, 1);
    xdg_positioner_set_anchor(positioner, XDG_POSITIONER_ANCHOR_TOP_LEFT);
    xdg_positioner_set_gravity(positioner, XDG_POSITIONER_GRAVITY_BOTTOM_RIGHT);
    xdg_positioner_set_constraint_adjustment(positioner,
                                             XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_X |
                                                 XDG_POSITIONER_CONSTRAINT_ADJUSTMENT_SLIDE_Y);
    return positioner;
}

void WaylandPopup::reposition(const Place& place) {
    // One move at a time: the compositor confirms each with a configure; moves asked for
    // meanwhile are merged into the last one, sent once the confirmation arrives.
    if (m_moving) {
        m_nextPlace = place;
        return;
    }
    xdg_positioner* positioner = makePositioner(place);
    xdg_popup_reposition(m_popup, positioner, ++m_repositions);
    xdg_positioner_destroy(positioner);
    m_moving = true;
    wl_display_flush(m_shell.display());
}

void WaylandPopup::map(xdg_surface* parent, int scale, Point offset, int width, int height) {
    if (parent == nullptr || width <= 0 || height <= 0) {
        unmap();
        return;
    }
    const Place place{offset, width, height};
    if (m_popup != nullptr && m_parent == parent && scale == m_scale &&
        xdg_popup_get_version(m_popup) >= XDG_POPUP_REPOSITION_SINCE_VERSION) {
        // Moved on the same parent: the compositor moves it without unmapping it.
        reposition(place);
        return;
    }
    xdg_positioner* positioner = makePositioner(place);
    unmap();
    m_scale = scale;
    m_parent = parent;
    static const xdg_surface_listener surfaceListener = {&WaylandPopup::onConfigure};
    static const xdg_popup_listener popupListener = {&WaylandPopup::onPopupConfigure,
                                                     &WaylandPopup::onPopupDone,
                                                     &WaylandPopup::onPopupRepositioned};
    m_xdgSurface = xdg_wm_base_get_xdg_surface(m_shell.wmBase(), m_surface);
    xdg_surface_add_listener(m_xdgSurface, &surfaceListener, this);
    m_popup = xdg_surface_get_popup(m_xdgSurface, parent, positioner);
    xdg_positioner_destroy(positioner);
    xdg_popup_add_listener(m_popup, &popupListener, this);
    m_configured = false;
    // The first commit carries no picture: the compositor answers with a configure.
    wl_surface_commit(m_surface);
    wl_display_flush(m_shell.display());
}

void WaylandPopup::unmap() {
    if (m_popup == nullptr) {
        return;
    }
    xdg_popup_destroy(m_popup);
    xdg_surface_destroy(m_xdgSurface);
    m_popup = nullptr;
    m_xdgSurface = nullptr;
    m_parent = nullptr;
    m_configured = false;
    m_moving = false;
    m_nextPlace.reset();
    wl_surface_attach(m_surface, nullptr, 0, 0);
    wl_surface_commit(m_surface);
    wl_display_flush(m_shell.display());
}

void WaylandPopup::present(cairo_surface_t* picture) {
    const int width = cairo_image_surface_get_width(picture);
    const int height = cairo_image_surface_get_height(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    if (width <= 0 || height <= 0) {
        return;
    }
    const bool alpha = cairo_image_surface_get_format(picture) == CAIRO_FORMAT_ARGB32;
    const uint32_t format = alpha ? WL_SHM_FORMAT_ARGB8888 : WL_SHM_FORMAT_XRGB8888;
    // A scaled buffer must be a whole number of units: an odd picture gets a transparent edge.
    auto whole = [&](int pixels) { return (pixels + m_scale - 1) / m_scale * m_scale; };
    const int bufferWidth = whole(width);
    const int bufferHeight = whole(height);
    Buffer* buffer = freeBuffer(bufferWidth, bufferHeight, bufferWidth * 4, format);
    if (buffer == nullptr) {
        return;
    }
    auto* to = static_cast<unsigned char*>(buffer->pixels);
    const unsigned char* from = cairo_image_surface_get_data(picture);
    std::memset(to, 0, buffer->bytes);
    for (int row = 0; row < height; ++row) {
        std::memcpy(to + static_cast<std::size_t>(row) * buffer->stride,
                    from + static_cast<std::size_t>(row) * stride,
                    static_cast<std::size_t>(width) * 4);
    }
    m_current = buffer;
    attachCurrent();
}

void WaylandPopup::attachCurrent() {
    if (!m_configured || m_current == nullptr) {
        return;
    }
    m_current->busy = true;
    wl_surface_set_buffer_scale(m_surface, m_scale);
    wl_surface_attach(m_surface, m_current->buffer, 0, 0);
    wl_surface_damage(m_surface, 0, 0, m_current->width / m_scale, m_current->height / m_scale);
    wl_surface_commit(m_surface);
    wl_display_flush(m_shell.display());
}

WaylandPopup::Buffer* WaylandPopup::freeBuffer(int width, int height, int stride, uint32_t format) {
    // Pictures of another size are not wanted again; a free one of the right size is reused.
    std::erase_if(m_buffers, [&](const std::unique_ptr<Buffer>& b) {
        return !b->busy && b.get() != m_current &&
               (b->width != width || b->height != height || b->format != format);
    });
    for (const std::unique_ptr<Buffer>& b : m_buffers) {
        if (!b->busy && b.get() != m_current && b->width == width && b->height == height &&
            b->format == format) {
            return b.get();
        }
    }
    auto buffer = std::make_unique<Buffer>();
    buffer->width = width;
    buffer->height = height;
    buffer->stride = stride;
    buffer->format = format;
    buffer->bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    const int fd = memfd_create("auralis-popup", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(buffer->bytes)) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        _Log(LOG_WARNING, "WaylandPopup::present", __LINE__, "no shared memory for a popup");
        return nullptr;
    }
    buffer->pixels = mmap(nullptr, buffer->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (buffer->pixels == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(m_shell.shm(), fd, static_cast<int32_t>(buffer->bytes));
    buffer->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
    wl_shm_pool_destroy(pool);
    close(fd);
    static const wl_buffer_listener release = {&WaylandPopup::onBufferRelease};
    wl_buffer_add_listener(buffer->buffer, &release, buffer.get());
    m_buffers.push_back(std::move(buffer));
    return m_buffers.back().get();
}

void WaylandPopup::onConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    auto* self = static_cast<WaylandPopup*>(data);
    xdg_surface_ack_configure(surface, serial);
    self->m_configured = true;
    self->attachCurrent();
    if (self->m_moving) {
        self->m_moving = false;
        if (const std::optional<Place> next = std::exchange(self->m_nextPlace, std::nullopt)) {
            self->reposition(*next);
        }
    }
}

void WaylandPopup::onPopupConfigure(void*, xdg_popup*, int32_t, int32_t, int32_t, int32_t) {}

void WaylandPopup::onPopupDone(void* data, xdg_popup*) {
    // The compositor took the popup away (its parent went): it is hidden from now on.
    static_cast<WaylandPopup*>(data)->unmap();
}

void WaylandPopup::onPopupRepositioned(void*, xdg_popup*, uint32_t) {}

void WaylandPopup::onBufferRelease(void* data, wl_buffer*) {
    static_cast<Buffer*>(data)->busy = false;
}

}  // namespace platform::window
