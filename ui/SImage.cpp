#include "ui/SImage.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <system_error>

#include "base/Log.h"
#include "platform/Paths.h"
#include "ui/SDispatcher.h"

namespace fs = std::filesystem;

SImage::SImage(cairo_surface_t* surface, double factor) : m_surface(surface), m_factor(factor) {
    if (!(m_factor > 0)) {
        m_factor = 1.0;
    }
}

SImage::~SImage() {
    cairo_surface_destroy(m_surface);
}

int SImage::GetPixelWidth() const {
    return cairo_image_surface_get_width(m_surface);
}

int SImage::GetPixelHeight() const {
    return cairo_image_surface_get_height(m_surface);
}

std::unique_ptr<SImage> SImage::Mirrored() const {
    const int width = GetPixelWidth();
    const int height = GetPixelHeight();
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(copy);
    cairo_translate(cr, width, 0);
    cairo_scale(cr, -1, 1);
    cairo_set_source_surface(cr, m_surface, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return std::make_unique<SImage>(copy, m_factor);
}

namespace {

// "\\res\\Home\\x.png" -> "res/Home/x.png"; null when a component is "..".
bool ToRelativePath(const std::string& resourcePath, fs::path& relative) {
    std::string text = resourcePath;
    std::replace(text.begin(), text.end(), '\\', '/');
    const fs::path path = fs::path(text).relative_path();
    for (const fs::path& part : path) {
        if (part == "..") {
            return false;
        }
    }
    relative = path;
    return !relative.empty();
}

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace

SResolvedImagePath ResolveImagePath(const std::string& relativePath) {
    SResolvedImagePath result;
    fs::path relative;
    if (!ToRelativePath(relativePath, relative)) {
        return result;
    }
    const fs::path folder = platform::paths::executableFolder();
    const std::string marker = "\\image";
    const std::size_t at = relativePath.find(marker);
    if (SDispatcher::GetZoomFactor() >= 1.5 && at != std::string::npos) {
        std::string highResolution = relativePath;
        highResolution.replace(at, marker.size(), "\\image\\WQXGA");
        fs::path relativeHigh;
        if (ToRelativePath(highResolution, relativeHigh) && IsFile(folder / relativeHigh)) {
            result.path = folder / relativeHigh;
            result.factor = 2.0;
            return result;
        }
    }
    if (IsFile(folder / relative)) {
        result.path = folder / relative;
        result.factor = 1.0;
    }
    return result;
}

std::unique_ptr<SImage> LoadImage(const SResolvedImagePath& resolved) {
    if (resolved.path.empty()) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create_from_png(resolved.path.c_str());
    const cairo_status_t status = cairo_surface_status(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        _Log(LOG_WARNING, "LoadImage", __LINE__, "cannot load %s: %s", resolved.path.c_str(),
             cairo_status_to_string(status));
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::make_unique<SImage>(surface, resolved.factor);
}

std::unique_ptr<SImage> LoadImage(const std::string& relativePath) {
    const SResolvedImagePath resolved = ResolveImagePath(relativePath);
    if (resolved.path.empty()) {
        // The widget paints without the picture; the log says which file to look for (once per
        // path, as screens load the same pictures again).
        static std::mutex mutex;
        static std::set<std::string> reported;
        std::lock_guard lock(mutex);
        if (reported.insert(relativePath).second) {
            _Log(LOG_WARNING, "LoadImage", __LINE__, "image missing: %s (looked in %s)",
                 relativePath.c_str(), platform::paths::executableFolder().c_str());
        }
        return nullptr;
    }
    return LoadImage(resolved);
}
