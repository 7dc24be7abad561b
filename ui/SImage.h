#pragma once

#include <cairo.h>

#include <filesystem>
#include <memory>
#include <string>

// A bitmap loaded from a PNG file beside the program, with the resolution factor of the file
// it came from (1.0, or 2.0 for a file of the high-resolution folder). Drawn at its pixel size
// divided by the factor, times the zoom factor of the drawing context.
class SImage {
public:
    // Adopts `surface` (an image surface).
    SImage(cairo_surface_t* surface, double factor);
    ~SImage();
    SImage(const SImage&) = delete;
    SImage& operator=(const SImage&) = delete;

    cairo_surface_t* GetSurface() const { return m_surface; }
    int GetPixelWidth() const;
    int GetPixelHeight() const;
    double GetFactor() const { return m_factor; }
    // Size in logical units: pixels divided by the factor.
    double GetWidth() const { return GetPixelWidth() / m_factor; }
    double GetHeight() const { return GetPixelHeight() / m_factor; }
    // A copy flipped left to right (same factor).
    std::unique_ptr<SImage> Mirrored() const;

    // Kept for callers that switch it: a cairo image surface is always drawn directly, so
    // there is no separate cached copy to choose.
    int useCachedBitmap = 1;

private:
    cairo_surface_t* m_surface;
    double m_factor;
};

// A resource path resolved against the program's folder, with the factor of the file found.
struct SResolvedImagePath {
    std::filesystem::path path;  // empty when no file exists
    double factor = 1.0;
};

// Resolves a resource path written with backslashes ("\\res\\Home\\x.png") against the folder
// of the running program. With a process zoom factor of 1.5 or more, a path containing
// "\\image" is first tried with "\\image\\WQXGA" (factor 2.0); otherwise, or when that file is
// missing, the plain path is used (factor 1.0). Paths that climb out of the program's folder
// ("..") resolve to nothing.
SResolvedImagePath ResolveImagePath(const std::string& relativePath);

// Loads a PNG file. Null when the file is missing or not a readable PNG.
std::unique_ptr<SImage> LoadImage(const SResolvedImagePath& resolved);
// ResolveImagePath and LoadImage in one step.
std::unique_ptr<SImage> LoadImage(const std::string& relativePath);
