#include "platform/window/ShapeMask.h"

#include <cstring>

namespace platform::window {

namespace {

// Half opaque: the same cut-off a window manager's shape would use for a binary mask.
constexpr uint32_t kAlphaCutoff = 0x80;

}  // namespace

ShapeMask ShapeMask::fromSurface(cairo_surface_t* surface) {
    ShapeMask mask;
    if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return mask;
    }
    cairo_surface_flush(surface);
    mask.m_width = cairo_image_surface_get_width(surface);
    mask.m_height = cairo_image_surface_get_height(surface);
    mask.m_inside.assign(static_cast<std::size_t>(mask.m_width) * mask.m_height, 1);
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        return mask;
    }
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < mask.m_height; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < mask.m_width; ++x) {
            uint32_t pixel = 0;
            std::memcpy(&pixel, row + static_cast<std::ptrdiff_t>(x) * 4, sizeof(pixel));
            mask.m_inside[static_cast<std::size_t>(y) * mask.m_width + x] =
                (pixel >> 24) >= kAlphaCutoff ? 1 : 0;
        }
    }
    return mask;
}

bool ShapeMask::contains(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return false;
    }
    return m_inside[static_cast<std::size_t>(y) * m_width + x] != 0;
}

}  // namespace platform::window
