#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/IRendering.h"
#include "ui/SColor.h"
#include "ui/SMargin.h"
#include "ui/SPoint.h"
#include "ui/SRect.h"
#include "ui/SSize.h"

class SDrawFilterDelegate;
class SImage;
class SWindowFrame;

// The drawing context widgets draw through. It holds one rendering core and converts the
// logical rectangles of the widget being drawn into pixels of its surface: zoom factor, the
// widget's place (visibleArea, set by the tree walk), and right-to-left mirroring.
class SDC {
public:
    SDC();
    ~SDC();
    SDC(const SDC&) = delete;
    SDC& operator=(const SDC&) = delete;

    // Makes a new core for a logical rectangle at the context's scale: left and top are cut to
    // whole pixels, right and bottom rounded up. mode 1 = surface with alpha, 0 = opaque.
    // Returns 1 when the surface could be made.
    int Init(const SRect& logicalRect, int mode);
    // A context over a sub-rectangle (logical, in the parent's coordinates) of the parent's
    // surface, sharing its pixels; scale, mirroring and opacity come from the parent.
    int InitChild(SDC& parent, const SRect& logicalRect);

    // A rectangle of the widget being drawn (local logical units) in pixels of the surface.
    SRect ToPixels(const SRect& local) const;
    // A rectangle in the context's own logical coordinates (as visibleArea is) in pixels.
    SRect AbsoluteToPixels(const SRect& absolute) const;

    // Draws another context's picture into a rectangle of the widget being drawn.
    void DrawContext(const SDC& other, const SRect& local, double opacity = 1.0, int smooth = 1);
    // Limits drawing to a rectangle of the widget being drawn until ResetClip.
    void Clip(const SRect& local);
    void ResetClip();

    void FillRect(const SRect& local, uint32_t colour);
    void DrawRoundRect(const SRect& local, uint32_t colour, double lineWidth, double radius);
    void FillCircle(const SRect& local, uint32_t colour);
    void FillGradient(const SRect& local, uint32_t colourEnd, uint32_t colourStart, int direction,
                      double radius = 0);
    void DrawLine(const SPoint& from, const SPoint& to, double width, uint32_t colour);
    // Fills the whole surface (the frame's background).
    void Clear(uint32_t colour);

    // An image at its natural size (pixels / factor x zoom) with its top-left corner at (x, y).
    void DrawImage(const SImage* image, double x, double y, double opacity = 1.0);
    // An image stretched into a rectangle.
    void DrawImage(const SImage* image, const SRect& local, int smooth = 1, double opacity = 1.0);

    // Draws text into a rectangle with the toolkit's text flags (TextFlags.h) and a font of the
    // font table. A background colour that is not fully transparent fills the text box first;
    // shadow adds a one-pixel offset copy in white (black for white text). Nothing is drawn for
    // an empty rectangle or one wider or taller than 4000 pixels. Returns the height of the
    // text in logical units; with DT_CALCRECT it only measures.
    int DrawText(const std::string& text, const SRect& local, unsigned format, int fontId,
                 uint32_t colour, int backgroundMode = 0,
                 uint32_t background = SColor::kTransparent, int shadow = 0);
    // The rectangle the text needs (DT_CALCRECT): the width of rect bounds wrapping.
    SRect CalcTextRect(const std::string& text, const SRect& local, unsigned format,
                       int fontId) const;
    // Measures text without a context, in logical units at a zoom factor; 0 is the current
    // zoom, the one the text is drawn at (text does not scale exactly with the zoom: hinting
    // and font sizes round, so a text measured at zoom 1 can be too wide at zoom 1.5).
    static SSize MeasureText(const std::string& text, int fontId, unsigned format,
                             double maxWidth = 0, double zoom = 0);
    // Whether the text would be cut with "…" in a box of that logical size (zoom as above).
    static bool IsTextEllipsized(const std::string& text, int fontId, unsigned format,
                                 const SSize& box, double zoom = 0);

    IRendering* GetRendering() const { return rendering.get(); }
    cairo_surface_t* GetSurface() const { return rendering ? rendering->GetSurface() : nullptr; }

    SRect rect;
    SMargin margin;
    SRect visibleArea;
    double pixelWidth = 0;
    double pixelHeight = 0;
    SPoint origin;  // logical coordinates of the surface's top-left pixel
    SRect scrollRect;
    std::unique_ptr<IRendering> rendering;
    SDrawFilterDelegate* drawFilter = nullptr;
    SWindowFrame* frame = nullptr;
    int opaque = 1;
    int alpha = 255;
    double scale = 1.0;
    int mirrored = 0;
    // While 1 the tree walk does not limit drawing to each widget's visible part.
    int noClip = 0;
};
