#include "ui/SDC.h"

#include <cmath>

#include "ui/SFontTable.h"
#include "ui/SImage.h"
#include "ui/SRenderingCore.h"
#include "ui/STextFitMonitor.h"
#include "ui/STextLayout.h"
#include "ui/SZoomFactor.h"
#include "ui/TextFlags.h"

namespace {

constexpr double kMaxTextBoxPixels = 4000;
constexpr uint32_t kWhite = 0x00FFFFFFu;
constexpr uint32_t kBlack = 0x00000000u;

// Edges that land a hair off a whole pixel through binary rounding count as that pixel.
constexpr double kEdgeEpsilon = 1e-9;

double CutDown(double value) {
    return std::floor(value + kEdgeEpsilon);
}
double RoundUp(double value) {
    return std::ceil(value - kEdgeEpsilon);
}

// A 1 x 1 surface to measure text on when no context is at hand. UI thread only.
cairo_t* MeasuringContext() {
    static cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    static cairo_t* cr = cairo_create(surface);
    return cr;
}

}  // namespace

SDC::SDC() = default;
SDC::~SDC() = default;

int SDC::Init(const SRect& logicalRect, int mode) {
    const double s = scale;
    const double left = CutDown(logicalRect.left * s);
    const double top = CutDown(logicalRect.top * s);
    const double right = RoundUp(logicalRect.right * s);
    const double bottom = RoundUp(logicalRect.bottom * s);
    const int width = static_cast<int>(std::max(0.0, right - left));
    const int height = static_cast<int>(std::max(0.0, bottom - top));
    auto core = std::make_unique<SRenderingCore>(width, height, mode);
    const bool valid = core->IsValid();
    rendering = std::move(core);
    rect = logicalRect;
    pixelWidth = width;
    pixelHeight = height;
    origin = SPoint(left / s, top / s);
    margin = SMargin(logicalRect.left * s - left, logicalRect.top * s - top,
                     right - logicalRect.right * s, bottom - logicalRect.bottom * s);
    visibleArea = SRect(origin.x, origin.y, origin.x + width / s, origin.y + height / s);
    scrollRect = visibleArea;
    opaque = mode == 1 ? 0 : 1;
    return valid ? 1 : 0;
}

int SDC::InitChild(SDC& parent, const SRect& logicalRect) {
    scale = parent.scale;
    mirrored = parent.mirrored;
    opaque = parent.opaque;
    frame = parent.frame;
    if (!parent.rendering) {
        return 0;
    }
    const double s = scale;
    const double left = CutDown((logicalRect.left - parent.origin.x) * s);
    const double top = CutDown((logicalRect.top - parent.origin.y) * s);
    const double right = RoundUp((logicalRect.right - parent.origin.x) * s);
    const double bottom = RoundUp((logicalRect.bottom - parent.origin.y) * s);
    const int width = static_cast<int>(std::max(0.0, right - left));
    const int height = static_cast<int>(std::max(0.0, bottom - top));
    auto core = std::make_unique<SRenderingCore>(*parent.rendering, static_cast<int>(left),
                                                 static_cast<int>(top), width, height);
    const bool valid = core->IsValid();
    rendering = std::move(core);
    rect = logicalRect;
    pixelWidth = width;
    pixelHeight = height;
    origin = SPoint(parent.origin.x + left / s, parent.origin.y + top / s);
    visibleArea = SRect(origin.x, origin.y, origin.x + width / s, origin.y + height / s);
    scrollRect = visibleArea;
    return valid ? 1 : 0;
}

SRect SDC::ToPixels(const SRect& local) const {
    const double s = scale;
    const double width = local.Width() * s;
    const double height = local.Height() * s;
    double x = 0;
    if (mirrored != 0) {
        x = visibleArea.right * s - local.left * s - width;
    } else {
        x = visibleArea.left * s + local.left * s;
    }
    const double y = visibleArea.top * s + local.top * s;
    x -= origin.x * s;
    const double py = y - origin.y * s;
    return SRect(x, py, x + width, py + height);
}

SRect SDC::AbsoluteToPixels(const SRect& absolute) const {
    const double s = scale;
    return SRect((absolute.left - origin.x) * s, (absolute.top - origin.y) * s,
                 (absolute.right - origin.x) * s, (absolute.bottom - origin.y) * s);
}

void SDC::DrawContext(const SDC& other, const SRect& local, double opacity, int smooth) {
    if (!rendering || other.GetSurface() == nullptr || other.pixelWidth <= 0 ||
        other.pixelHeight <= 0) {
        return;
    }
    const SRect px = ToPixels(local);
    if (px.Width() == other.pixelWidth && px.Height() == other.pixelHeight &&
        px.left == std::floor(px.left) && px.top == std::floor(px.top)) {
        rendering->DrawSurface(other.GetSurface(), px.left, px.top, px.Width(), px.Height(), 0, 0,
                               0, opacity);
        return;
    }
    rendering->DrawSurfaceScaled(other.GetSurface(), px.left, px.top, px.Width(), px.Height(),
                                 other.pixelWidth, other.pixelHeight, smooth, 0, 0, opacity, -1);
}

void SDC::Clip(const SRect& local) {
    if (!rendering) {
        return;
    }
    const SRect px = ToPixels(local);
    rendering->SetClip(px.left, px.top, px.Width(), px.Height());
}

void SDC::ResetClip() {
    if (rendering) {
        rendering->ResetClip();
    }
}

void SDC::FillRect(const SRect& local, uint32_t colour) {
    DrawRoundRect(local, colour, 0, 0);
}

void SDC::DrawRoundRect(const SRect& local, uint32_t colour, double lineWidth, double radius) {
    if (!rendering) {
        return;
    }
    const SRect px = ToPixels(local);
    rendering->DrawRoundRect(px.left, px.top, px.Width(), px.Height(), colour, lineWidth * scale,
                             radius * scale);
}

void SDC::FillCircle(const SRect& local, uint32_t colour) {
    if (!rendering) {
        return;
    }
    const SRect px = ToPixels(local);
    rendering->FillCircle(px.left, px.top, px.Width(), px.Height(), colour);
}

void SDC::FillGradient(const SRect& local, uint32_t colourEnd, uint32_t colourStart, int direction,
                       double radius) {
    if (!rendering) {
        return;
    }
    const SRect px = ToPixels(local);
    // A horizontal gradient runs from the widget's leading edge, which is on the right when
    // the context is mirrored.
    if (mirrored != 0 && direction != 1) {
        std::swap(colourEnd, colourStart);
    }
    rendering->FillGradient(px.left, px.top, px.Width(), px.Height(), colourEnd, colourStart,
                            direction, radius * scale);
}

void SDC::DrawLine(const SPoint& from, const SPoint& to, double width, uint32_t colour) {
    if (!rendering) {
        return;
    }
    const SRect a = ToPixels(SRect(from.x, from.y, from.x, from.y));
    const SRect b = ToPixels(SRect(to.x, to.y, to.x, to.y));
    rendering->DrawLine(a.left, a.top, b.left, b.top, width * scale, colour);
}

void SDC::Clear(uint32_t colour) {
    if (!rendering) {
        return;
    }
    if (SColor(colour).IsInvisible()) {
        rendering->ClearRect(0, 0, pixelWidth, pixelHeight);
        return;
    }
    rendering->DrawRoundRect(0, 0, pixelWidth, pixelHeight, colour, 0, 0);
}

void SDC::DrawImage(const SImage* image, double x, double y, double opacity) {
    if (image == nullptr) {
        return;
    }
    DrawImage(image, SRect::FromSize(x, y, image->GetWidth(), image->GetHeight()), 1, opacity);
}

void SDC::DrawImage(const SImage* image, const SRect& local, int smooth, double opacity) {
    if (!rendering || image == nullptr || local.IsEmpty()) {
        return;
    }
    const SRect px = ToPixels(local);
    const int imageWidth = image->GetPixelWidth();
    const int imageHeight = image->GetPixelHeight();
    const bool whole = px.left == std::floor(px.left) && px.top == std::floor(px.top);
    if (whole && px.Width() == imageWidth && px.Height() == imageHeight) {
        rendering->DrawSurface(image->GetSurface(), px.left, px.top, imageWidth, imageHeight, 0, 0,
                               0, opacity);
        return;
    }
    rendering->DrawSurfaceScaled(image->GetSurface(), px.left, px.top, px.Width(), px.Height(),
                                 imageWidth, imageHeight, smooth, 0, 0, opacity, -1);
}

int SDC::DrawText(const std::string& text, const SRect& local, unsigned format, int fontId,
                  uint32_t colour, int backgroundMode, uint32_t background, int shadow) {
    (void)backgroundMode;  // text is always drawn over the pixels already there
    if (!rendering || local.IsEmpty()) {
        return 0;
    }
    const SRect px = ToPixels(local);
    if (px.Width() > kMaxTextBoxPixels || px.Height() > kMaxTextBoxPixels) {
        return 0;
    }
    const double left = RoundUp(px.left);
    const double top = RoundUp(px.top);
    const double width = CutDown(px.right) - left;
    const double height = CutDown(px.bottom) - top;
    if (width <= 0 || height <= 0) {
        return 0;
    }
    const PangoFontDescription* font = SFontTable::Instance().GetFont(fontId, scale);
    cairo_t* cr = rendering->GetNativeDC();
    const STextLayout layout(cr, text, format, font, width, height, mirrored != 0);
    const int textHeight = static_cast<int>(std::lround(layout.Height() / scale));
    if ((format & DT_CALCRECT) != 0) {
        return textHeight;
    }
    if (!SColor(background).IsInvisible()) {
        rendering->DrawRoundRect(left, top, width, height, background, 0, 0);
    }
    if (shadow != 0) {
        const uint32_t shadowColour = (colour & 0x00FFFFFFu) == kWhite ? kBlack : kWhite;
        layout.Draw(cr, left + scale, top + scale, shadowColour);
    }
    layout.Draw(cr, left, top, colour);
    if (STextFitMonitor::Active()) {
        const SRect& ink = layout.InkInBox();
        const double side = layout.SideBearingRoom();
        STextFitMonitor::CheckDrawnText(
            text, format, SRect(left - side, top, left + width + side, top + height),
            SRect(ink.left + left, ink.top + top, ink.right + left, ink.bottom + top),
            rendering->GetActiveClip(), layout.IsEllipsized(), layout.UnknownGlyphs());
    }
    return textHeight;
}

SRect SDC::CalcTextRect(const std::string& text, const SRect& local, unsigned format,
                        int fontId) const {
    const SSize size = MeasureText(text, fontId, format | DT_CALCRECT, local.Width(), scale);
    return SRect(local.left, local.top, local.left + size.width, local.top + size.height);
}

SSize SDC::MeasureText(const std::string& text, int fontId, unsigned format, double maxWidth,
                       double zoom) {
    if (!(zoom > 0)) {
        zoom = SZoomFactor::Get();
    }
    const PangoFontDescription* font = SFontTable::Instance().GetFont(fontId, zoom);
    const STextLayout layout(MeasuringContext(), text, format | DT_CALCRECT, font, maxWidth * zoom,
                             0, false);
    return SSize(layout.Width() / zoom, layout.Height() / zoom);
}

bool SDC::IsTextEllipsized(const std::string& text, int fontId, unsigned format, const SSize& box,
                           double zoom) {
    if (!(zoom > 0)) {
        zoom = SZoomFactor::Get();
    }
    const PangoFontDescription* font = SFontTable::Instance().GetFont(fontId, zoom);
    const STextLayout layout(MeasuringContext(), text, format & ~static_cast<unsigned>(DT_CALCRECT),
                             font, box.width * zoom, box.height * zoom, false);
    return layout.IsEllipsized();
}
