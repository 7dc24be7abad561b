#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

namespace platform::window {

// The shape of a picture: which pixels are at least half opaque. A window without a compositor
// takes this shape, so rounded corners and the shadow margin are cut away instead of painted.
class ShapeMask {
public:
    ShapeMask() = default;
    // From an image surface: ARGB32 keeps its alpha; any other format is wholly opaque.
    static ShapeMask fromSurface(cairo_surface_t* surface);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }
    // Points outside the picture are outside the shape.
    bool contains(int x, int y) const;
    bool operator==(const ShapeMask&) const = default;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_inside;  // one byte per pixel, row by row
};

}  // namespace platform::window
