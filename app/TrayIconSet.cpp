#include "app/TrayIconSet.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "app/SDeviceCluster.h"
#include "base/Log.h"
#include "services/EnvironVar.h"

int TrayIconSet::LevelStep(int level) {
    // An unknown level shows the middle step; known ones the home screen's battery steps.
    return level < 0 ? 2 : SDeviceCluster::BatteryPictureIndex(level);
}

std::string TrayIconSet::PicturePath(int step, int size) {
    return EnvironVar::GetInstallPath() + "/res/Tray/tray_level_" + std::to_string(step) + "_" +
           std::to_string(size) + ".png";
}

platform::desktop::TrayPixmap TrayIconSet::FromSurface(cairo_surface_t* surface) {
    platform::desktop::TrayPixmap pixmap;
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
        return pixmap;
    }
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (data == nullptr || width <= 0 || height <= 0) {
        return pixmap;
    }
    pixmap.width = width;
    pixmap.height = height;
    pixmap.argb.resize(static_cast<std::size_t>(width) * height * 4);
    uint8_t* out = pixmap.argb.data();
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            std::memcpy(&pixel, row + x * 4, 4);
            const uint32_t alpha = pixel >> 24;
            auto straight = [alpha](uint32_t premultiplied) -> uint8_t {
                if (alpha == 0) {
                    return 0;
                }
                return static_cast<uint8_t>(
                    std::min<uint32_t>(255, (premultiplied * 255 + alpha / 2) / alpha));
            };
            *out++ = static_cast<uint8_t>(alpha);
            *out++ = straight((pixel >> 16) & 0xFF);
            *out++ = straight((pixel >> 8) & 0xFF);
            *out++ = straight(pixel & 0xFF);
        }
    }
    return pixmap;
}

const std::vector<platform::desktop::TrayPixmap>& TrayIconSet::Pixmaps(int step) {
    step = std::clamp(step, 0, kSteps - 1);
    std::lock_guard lock(m_mutex);
    if (!m_loaded[step]) {
        m_loaded[step] = true;
        for (const int size : kSizes) {
            const std::string path = PicturePath(step, size);
            cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
            platform::desktop::TrayPixmap pixmap = FromSurface(surface);
            cairo_surface_destroy(surface);
            if (pixmap.argb.empty()) {
                _Log(LOG_WARNING, "TrayIconSet", __LINE__, "tray picture missing: %s",
                     path.c_str());
                continue;
            }
            m_pixmaps[step].push_back(std::move(pixmap));
        }
    }
    return m_pixmaps[step];
}
