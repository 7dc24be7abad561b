#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <cstdint>
#include <string>

#include "ui/SRect.h"

// The drawing interface every widget's drawing ends in. Coordinates are doubles in pixels of
// the surface. smooth = 1 selects filter GOOD (else NEAREST); replace = 1 selects operator
// SOURCE (else OVER). Operations in their long-standing slot order.
class IRendering {
public:
    virtual ~IRendering() = default;  // 0: destroys context and surface

    virtual void FillWithSurface(cairo_surface_t* source, double width, double height,
                                 int smooth) = 0;  // 1
    virtual void DrawSurfaceFit(cairo_surface_t* source, double x, double y, double width,
                                double height, double sourceWidth, double sourceHeight, int smooth,
                                int pad) = 0;  // 2
    virtual void DrawSurface(cairo_surface_t* source, double x, double y, double width,
                             double height, int smooth, int replace, int ellipse,
                             double alpha) = 0;  // 3
    virtual void DrawSurfaceWhole(cairo_surface_t* source, double x, double y, int smooth,
                                  int replace, int ellipse) = 0;  // 4
    virtual void DrawSurfaceScaled(cairo_surface_t* source, double x, double y, double width,
                                   double height, double sourceWidth, double sourceHeight,
                                   int smooth, int replace, int ellipse, double alpha,
                                   double radius) = 0;  // 5
    virtual void Translate(double dx, double dy) = 0;   // 6
    virtual void Rotate(double degrees) = 0;            // 7
    virtual void Scale(double sx, double sy) = 0;       // 8
    virtual void DrawRoundRect(double x, double y, double width, double height, uint32_t colour,
                               double lineWidth, double radius) = 0;  // 9
    virtual void FillCircle(double x, double y, double width, double height,
                            uint32_t colour) = 0;                                 // 10
    virtual void ClearRect(double x, double y, double width, double height) = 0;  // 11
    virtual void FillGradient(double x, double y, double width, double height, uint32_t colourEnd,
                              uint32_t colourStart, int direction, double radius) = 0;  // 12
    virtual void DrawLine(double x1, double y1, double x2, double y2, double width,
                          uint32_t colour) = 0;  // 13
    virtual void FillTriangle(double x1, double y1, double x2, double y2, double x3, double y3,
                              uint32_t colour) = 0;  // 14
    virtual void DrawArc(double cx, double cy, double r, double start, double end, double width,
                         uint32_t colour) = 0;                                  // 15
    virtual void Flush() = 0;                                                   // 16
    virtual void PushGroup() = 0;                                               // 17
    virtual void PopGroup() = 0;                                                // 18
    virtual void SetClip(double x, double y, double width, double height) = 0;  // 19
    virtual void ResetClip() = 0;                                               // 20
    // The native drawing context of the surface: here the cairo context, on which Pango lays
    // out text.
    virtual cairo_t* GetNativeDC() = 0;  // 21
    virtual void DrawTextPlain(const std::string& text, const PangoFontDescription* font, double x,
                               double y) = 0;  // 22
    virtual void CopyRect(cairo_surface_t* source, double x, double y, double sourceX,
                          double sourceY, double width, double height) = 0;  // 23
    virtual void MirrorHorizontally() = 0;                                   // 24
    virtual void Save() = 0;                                                 // 25
    virtual void Restore() = 0;                                              // 26

    // Beyond the slots: what the drawing context and the frame need to know of a core.
    virtual cairo_surface_t* GetSurface() const = 0;
    virtual int GetPixelWidth() const = 0;
    virtual int GetPixelHeight() const = 0;
    // The active clip rectangle (the intersection of every SetClip not yet reset), or the whole
    // surface when none is active.
    virtual SRect GetActiveClip() const = 0;
    virtual int HasActiveClip() const = 0;
    // Number of SetClip calls not yet undone; RestoreClipDepth undoes those above `depth`.
    virtual int GetClipDepth() const = 0;
    virtual void RestoreClipDepth(int depth) = 0;
};
