#pragma once

#include <vector>

#include "ui/IRendering.h"

// IRendering over a cairo image surface. The core owns its context and surface. A core may
// also be made over a rectangle of another core's surface: it then draws into the parent's
// pixels in place.
class SRenderingCore : public IRendering {
public:
    // mode 1: surface with alpha (ARGB32); 0: opaque (RGB24); any other value is taken as the
    // cairo format number. A failed surface is logged and the core still returned, drawing
    // nothing.
    SRenderingCore(int width, int height, int mode);
    // A core over the pixel rectangle (x, y, width, height) of parent's surface.
    SRenderingCore(const IRendering& parent, int x, int y, int width, int height);
    ~SRenderingCore() override;
    SRenderingCore(const SRenderingCore&) = delete;
    SRenderingCore& operator=(const SRenderingCore&) = delete;

    bool IsValid() const;

    void FillWithSurface(cairo_surface_t* source, double width, double height, int smooth) override;
    void DrawSurfaceFit(cairo_surface_t* source, double x, double y, double width, double height,
                        double sourceWidth, double sourceHeight, int smooth, int pad) override;
    void DrawSurface(cairo_surface_t* source, double x, double y, double width, double height,
                     int smooth, int replace, int ellipse, double alpha) override;
    void DrawSurfaceWhole(cairo_surface_t* source, double x, double y, int smooth, int replace,
                          int ellipse) override;
    void DrawSurfaceScaled(cairo_surface_t* source, double x, double y, double width, double height,
                           double sourceWidth, double sourceHeight, int smooth, int replace,
                           int ellipse, double alpha, double radius) override;
    void Translate(double dx, double dy) override;
    void Rotate(double degrees) override;
    void Scale(double sx, double sy) override;
    void DrawRoundRect(double x, double y, double width, double height, uint32_t colour,
                       double lineWidth, double radius) override;
    void FillCircle(double x, double y, double width, double height, uint32_t colour) override;
    void ClearRect(double x, double y, double width, double height) override;
    void FillGradient(double x, double y, double width, double height, uint32_t colourEnd,
                      uint32_t colourStart, int direction, double radius) override;
    void DrawLine(double x1, double y1, double x2, double y2, double width,
                  uint32_t colour) override;
    void FillTriangle(double x1, double y1, double x2, double y2, double x3, double y3,
                      uint32_t colour) override;
    void DrawArc(double cx, double cy, double r, double start, double end, double width,
                 uint32_t colour) override;
    void Flush() override;
    void PushGroup() override;
    void PopGroup() override;
    void SetClip(double x, double y, double width, double height) override;
    void ResetClip() override;
    cairo_t* GetNativeDC() override { return m_cr; }
    void DrawTextPlain(const std::string& text, const PangoFontDescription* font, double x,
                       double y) override;
    void CopyRect(cairo_surface_t* source, double x, double y, double sourceX, double sourceY,
                  double width, double height) override;
    void MirrorHorizontally() override;
    void Save() override;
    void Restore() override;

    cairo_surface_t* GetSurface() const override { return m_surface; }
    int GetPixelWidth() const override { return m_width; }
    int GetPixelHeight() const override { return m_height; }
    SRect GetActiveClip() const override;
    int HasActiveClip() const override { return m_clips.empty() ? 0 : 1; }
    int GetClipDepth() const override { return static_cast<int>(m_clips.size()); }
    void RestoreClipDepth(int depth) override;

private:
    void CreateContext();
    void ApplyClip();
    void RoundRectPath(double x, double y, double width, double height, double radius);
    void SetColour(uint32_t colour);
    // Clips to the ellipse inscribed in the rectangle, or to the rectangle within the active
    // clip. False when nothing of the rectangle can be drawn.
    bool ClipForSurface(double x, double y, double width, double height, int ellipse,
                        double radius);

    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cr = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_saveDepth = 0;
    int m_groupDepth = 0;
    // Each entry is the effective clip after that SetClip: the intersection with those below.
    std::vector<SRect> m_clips;
};
