#pragma once

#include <cairo.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

// A bitmap loaded from a PNG file beside the program, with the resolution factor of the file
// it came from (1.0, 1.5 or 2.0). Drawn at its logical size (pixels divided by the factor)
// times the zoom factor of the drawing context.
//
// An image made from a file knows its size from the file's header and decodes its pixels only
// when they are first asked for (GetSurface), so pictures of screens not yet shown cost
// nothing at start-up. Decoding is thread-safe.
class SImage {
public:
    // Adopts `surface` (an image surface).
    SImage(cairo_surface_t* surface, double factor);
    // Decodes `path` on first use. `logicalWidth` and `logicalHeight` are the size the picture
    // is laid out at.
    SImage(std::filesystem::path path, double factor, int pixelWidth, int pixelHeight,
           double logicalWidth, double logicalHeight);
    ~SImage();
    SImage(const SImage&) = delete;
    SImage& operator=(const SImage&) = delete;

    // The pixels; decodes the file on first use. A file that turns out unreadable gives a
    // transparent picture of the header's size (never null).
    cairo_surface_t* GetSurface() const;
    int GetPixelWidth() const { return m_pixelWidth; }
    int GetPixelHeight() const { return m_pixelHeight; }
    double GetFactor() const { return m_factor; }
    // Size in logical units.
    double GetWidth() const { return m_logicalWidth; }
    double GetHeight() const { return m_logicalHeight; }
    // Whether the pixels have been decoded yet (for tests and measurements).
    bool IsDecoded() const;
    // A copy flipped left to right (same factor).
    std::unique_ptr<SImage> Mirrored() const;

    // Kept for callers that switch it: a cairo image surface is always drawn directly, so
    // there is no separate cached copy to choose.
    int useCachedBitmap = 1;

private:
    void Decode() const;

    std::filesystem::path m_path;  // empty when made from a surface
    mutable std::once_flag m_decodeOnce;
    mutable cairo_surface_t* m_surface = nullptr;
    double m_factor = 1.0;
    int m_pixelWidth = 0;
    int m_pixelHeight = 0;
    double m_logicalWidth = 0;
    double m_logicalHeight = 0;
};

// A resource path resolved against the program's folder, with the factor of the file found.
struct SResolvedImagePath {
    std::filesystem::path path;  // empty when no file exists
    double factor = 1.0;
    // A scaled variant ("x@1.5x.png") whose pixel size was rounded to whole pixels: its
    // logical size is the plain picture's, recovered by rounding pixels / factor.
    bool wholeLogicalSize = false;
};

// Resolves a resource path written with backslashes ("\\res\\Home\\x.png") against the folder
// of the running program. With a process zoom factor of 1.5 or more, a path containing
// "\\image" is first tried with "\\image\\WQXGA" (factor 2.0). Otherwise, at a zoom factor
// other than 1, the drawn variant nearest to it is tried: "x@1.5x.png" (factor 1.5) or
// "x@2x.png" (factor 2.0), the larger on a tie; when it is missing, or at zoom 1, the plain path
// is used (factor 1.0). Paths that climb out of the program's folder ("..") resolve to nothing.
SResolvedImagePath ResolveImagePath(const std::string& relativePath);

// Makes an image for a PNG file from its header; the pixels are decoded when first drawn.
// Null when the file is missing or has no valid PNG header.
std::unique_ptr<SImage> LoadImage(const SResolvedImagePath& resolved);
// ResolveImagePath and LoadImage in one step.
std::unique_ptr<SImage> LoadImage(const std::string& relativePath);
