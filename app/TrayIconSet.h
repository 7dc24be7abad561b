#pragma once

#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop/TrayContent.h"

typedef struct _cairo_surface cairo_surface_t;

// The tray icon's pictures: five level steps, each in every size drawn at build time from the
// artwork's source (res/Tray/tray_level_<step>_<size>.png), handed to the tray in the wire form
// it wants. Loaded on first use and kept. Safe to use from any thread.
class TrayIconSet {
public:
    static constexpr int kSteps = 5;
    static constexpr std::array<int, 6> kSizes{16, 22, 24, 32, 48, 64};

    // The step that shows a battery level: the home screen's battery steps (below 10, 10-29,
    // 30-54, 55-79, 80 and above). An unknown level (< 0) shows the middle step.
    static int LevelStep(int level);

    // The sizes of one step (empty when its pictures are missing).
    const std::vector<platform::desktop::TrayPixmap>& Pixmaps(int step);

    // A cairo ARGB32 picture (premultiplied, in the machine's byte order) as alpha, red, green,
    // blue bytes with straight alpha; an empty pixmap for anything else.
    static platform::desktop::TrayPixmap FromSurface(cairo_surface_t* surface);

    // The picture file of a step and size.
    static std::string PicturePath(int step, int size);

private:
    std::mutex m_mutex;
    std::array<bool, kSteps> m_loaded{};
    std::array<std::vector<platform::desktop::TrayPixmap>, kSteps> m_pixmaps;
};
