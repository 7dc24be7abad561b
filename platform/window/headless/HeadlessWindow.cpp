#include "platform/window/headless/HeadlessWindow.h"

#include <cstring>

#include "platform/window/headless/HeadlessBackend.h"

namespace platform::window {

HeadlessWindow::HeadlessWindow(HeadlessBackend& backend, WindowId id, const WindowOptions& options)
    : WindowBase(backend, id),
      m_headless(backend),
      m_rect(options.rect),
      m_style(options.style),
      m_title(options.title) {
    if (options.owner != nullptr) {
        m_owner = options.owner->id();
    }
    if ((options.style & kStyleTranslucent) != 0) {
        m_transparency = backend.compositing() ? Transparency::PerPixel : Transparency::Shape;
    }
    if (options.centered) {
        const Rect display = backend.displayBoundsNear(Point{});
        m_rect.x = display.x + (display.width - m_rect.width) / 2;
        m_rect.y = display.y + (display.height - m_rect.height) / 2;
    }
}

HeadlessWindow::~HeadlessWindow() {
    m_headless.windowGone(id());
    if (m_frame != nullptr) {
        cairo_surface_destroy(m_frame);
    }
}

void HeadlessWindow::queue(WindowEvent::Type type) {
    WindowEvent event;
    event.type = type;
    event.window = id();
    event.x = m_rect.x;
    event.y = m_rect.y;
    event.width = m_rect.width;
    event.height = m_rect.height;
    m_headless.queueNative(std::move(event));
}

void HeadlessWindow::show() {
    if (m_visible) {
        return;
    }
    m_visible = true;
    queue(WindowEvent::Type::Shown);
    queue(WindowEvent::Type::Exposed);
}

void HeadlessWindow::takeFocus() {
    raise();
    if ((m_style & (kStyleTooltip | kStylePopupMenu)) == 0) {
        m_headless.setFocusedWindow(id());
    }
}

void HeadlessWindow::hide() {
    if (!m_visible) {
        return;
    }
    m_visible = false;
    m_captured = false;
    queue(WindowEvent::Type::Hidden);
}

void HeadlessWindow::move(int x, int y) {
    if (m_rect.x == x && m_rect.y == y) {
        return;
    }
    m_rect.x = x;
    m_rect.y = y;
    queue(WindowEvent::Type::Moved);
}

void HeadlessWindow::resize(int width, int height) {
    if (m_rect.width == width && m_rect.height == height) {
        return;
    }
    m_rect.width = width;
    m_rect.height = height;
    queue(WindowEvent::Type::Resized);
}

void HeadlessWindow::present(cairo_surface_t* surface) {
    if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return;
    }
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    if (m_frame == nullptr || cairo_image_surface_get_width(m_frame) != width ||
        cairo_image_surface_get_height(m_frame) != height ||
        cairo_image_surface_get_format(m_frame) != format) {
        if (m_frame != nullptr) {
            cairo_surface_destroy(m_frame);
        }
        m_frame = cairo_image_surface_create(format, width, height);
    }
    cairo_surface_flush(m_frame);
    const int sourceStride = cairo_image_surface_get_stride(surface);
    const int targetStride = cairo_image_surface_get_stride(m_frame);
    const unsigned char* source = cairo_image_surface_get_data(surface);
    unsigned char* target = cairo_image_surface_get_data(m_frame);
    if (source != nullptr && target != nullptr) {
        for (int row = 0; row < height; ++row) {
            std::memcpy(target + static_cast<std::ptrdiff_t>(row) * targetStride,
                        source + static_cast<std::ptrdiff_t>(row) * sourceStride,
                        static_cast<std::size_t>(width) * 4);
        }
    }
    cairo_surface_mark_dirty(m_frame);
    if (m_transparency == Transparency::Shape) {
        m_shape = ShapeMask::fromSurface(m_frame);
    }
    ++m_presentCount;
}

bool HeadlessWindow::setOpacity(double opacity) {
    m_opacity = opacity < 0 ? 0 : (opacity > 1 ? 1 : opacity);
    return true;
}

bool HeadlessWindow::setCapture() {
    m_captured = true;
    return true;
}

void HeadlessWindow::releaseCapture() {
    m_captured = false;
}

bool HeadlessWindow::trackMouseLeave() {
    ++m_leaveRequests;
    return true;
}

bool HeadlessWindow::enableHitTest() {
    m_hitTest = m_headless.hitTestSupported();
    return m_hitTest;
}

}  // namespace platform::window
