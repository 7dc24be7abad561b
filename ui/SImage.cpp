#include "ui/SImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <system_error>

#include "base/Log.h"
#include "platform/Paths.h"
#include "ui/SZoomFactor.h"

namespace fs = std::filesystem;

SImage::SImage(cairo_surface_t* surface, double factor) : m_surface(surface), m_factor(factor) {
    if (!(m_factor > 0)) {
        m_factor = 1.0;
    }
    m_pixelWidth = cairo_image_surface_get_width(m_surface);
    m_pixelHeight = cairo_image_surface_get_height(m_surface);
    m_logicalWidth = m_pixelWidth / m_factor;
    m_logicalHeight = m_pixelHeight / m_factor;
}

SImage::SImage(std::filesystem::path path, double factor, int pixelWidth, int pixelHeight,
               double logicalWidth, double logicalHeight)
    : m_path(std::move(path)),
      m_factor(factor > 0 ? factor : 1.0),
      m_pixelWidth(pixelWidth),
      m_pixelHeight(pixelHeight),
      m_logicalWidth(logicalWidth),
      m_logicalHeight(logicalHeight) {}

SImage::~SImage() {
    if (m_surface != nullptr) {
        cairo_surface_destroy(m_surface);
    }
}

cairo_surface_t* SImage::GetSurface() const {
    if (!m_path.empty()) {
        std::call_once(m_decodeOnce, [this] { Decode(); });
    }
    return m_surface;
}

bool SImage::IsDecoded() const {
    return m_path.empty() || m_surface != nullptr;
}

void SImage::Decode() const {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(m_path.c_str());
    const cairo_status_t status = cairo_surface_status(surface);
    const bool sameSize = status == CAIRO_STATUS_SUCCESS &&
                          cairo_image_surface_get_width(surface) == m_pixelWidth &&
                          cairo_image_surface_get_height(surface) == m_pixelHeight;
    if (sameSize) {
        m_surface = surface;
        return;
    }
    // The header promised a picture the body did not deliver: draw nothing where it goes
    // rather than failing later, and say which file it was.
    _Log(LOG_WARNING, "LoadImage", __LINE__, "cannot decode %s: %s", m_path.c_str(),
         status != CAIRO_STATUS_SUCCESS ? cairo_status_to_string(status) : "size differs");
    cairo_surface_destroy(surface);
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_pixelWidth, m_pixelHeight);
}

std::unique_ptr<SImage> SImage::Mirrored() const {
    const int width = GetPixelWidth();
    const int height = GetPixelHeight();
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(copy);
    cairo_translate(cr, width, 0);
    cairo_scale(cr, -1, 1);
    cairo_set_source_surface(cr, GetSurface(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    auto mirrored = std::make_unique<SImage>(copy, m_factor);
    mirrored->m_logicalWidth = m_logicalWidth;
    mirrored->m_logicalHeight = m_logicalHeight;
    return mirrored;
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

struct DrawnScale {
    double factor;
    const char* suffix;
};
constexpr DrawnScale kDrawnScales[] = {{1.5, "@1.5x"}, {2.0, "@2x"}};

// The scaled variant nearest to `zoom` (the larger on a tie), or null when the plain picture
// is nearest.
const DrawnScale* NearestDrawnScale(double zoom) {
    const DrawnScale* nearest = nullptr;
    double distance = std::abs(zoom - 1.0);
    for (const DrawnScale& scale : kDrawnScales) {
        const double d = std::abs(zoom - scale.factor);
        if (d <= distance) {
            nearest = &scale;
            distance = d;
        }
    }
    return nearest;
}

fs::path WithSuffix(const fs::path& path, const char* suffix) {
    fs::path result = path;
    result.replace_filename(path.stem().string() + suffix + path.extension().string());
    return result;
}

// Width and height from a PNG file's signature and IHDR chunk; false when the file is not a
// PNG or claims an absurd size.
bool ReadPngSize(const fs::path& path, int& width, int& height) {
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static constexpr uint32_t kMaxSide = 16384;
    unsigned char header[24] = {};
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(header), sizeof header)) {
        return false;
    }
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0 ||
        std::memcmp(header + 12, "IHDR", 4) != 0) {
        return false;
    }
    auto bigEndian = [&](int at) {
        return (uint32_t{header[at]} << 24) | (uint32_t{header[at + 1]} << 16) |
               (uint32_t{header[at + 2]} << 8) | uint32_t{header[at + 3]};
    };
    const uint32_t w = bigEndian(16);
    const uint32_t h = bigEndian(20);
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide) {
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
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
    if (SZoomFactor::Get() >= 1.5 && at != std::string::npos) {
        std::string highResolution = relativePath;
        highResolution.replace(at, marker.size(), "\\image\\WQXGA");
        fs::path relativeHigh;
        if (ToRelativePath(highResolution, relativeHigh) && IsFile(folder / relativeHigh)) {
            result.path = folder / relativeHigh;
            result.factor = 2.0;
            return result;
        }
    }
    if (const DrawnScale* scale = NearestDrawnScale(SZoomFactor::Get())) {
        const fs::path scaled = WithSuffix(folder / relative, scale->suffix);
        if (IsFile(scaled)) {
            result.path = scaled;
            result.factor = scale->factor;
            result.wholeLogicalSize = true;
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
    int width = 0;
    int height = 0;
    if (!ReadPngSize(resolved.path, width, height)) {
        _Log(LOG_WARNING, "LoadImage", __LINE__, "cannot load %s: not a PNG file",
             resolved.path.c_str());
        return nullptr;
    }
    const double factor = resolved.factor > 0 ? resolved.factor : 1.0;
    double logicalWidth = width / factor;
    double logicalHeight = height / factor;
    if (resolved.wholeLogicalSize) {
        logicalWidth = std::max(1.0, std::round(logicalWidth));
        logicalHeight = std::max(1.0, std::round(logicalHeight));
    }
    return std::make_unique<SImage>(resolved.path, factor, width, height, logicalWidth,
                                    logicalHeight);
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
