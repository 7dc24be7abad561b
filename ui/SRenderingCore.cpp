#include "ui/SRenderingCore.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "ui/SColor.h"

namespace {

// The angle constant the drawing code has always used, kept so arcs land on the same pixels.
constexpr double kPi = 3.14159265;

cairo_filter_t FilterFor(int smooth) {
    return smooth != 0 ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST;
}

cairo_format_t FormatForMode(int mode) {
    switch (mode) {
        case 1:
            return CAIRO_FORMAT_ARGB32;
        case 0:
            return CAIRO_FORMAT_RGB24;
        default:
            return static_cast<cairo_format_t>(mode);
    }
}

}  // namespace

SRenderingCore::SRenderingCore(int width, int height, int mode)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)) {
    m_surface = cairo_image_surface_create(FormatForMode(mode), m_width, m_height);
    CreateContext();
}

SRenderingCore::SRenderingCore(const IRendering& parent, int x, int y, int width, int height)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)) {
    m_surface = cairo_surface_create_for_rectangle(parent.GetSurface(), x, y, m_width, m_height);
    CreateContext();
}

void SRenderingCore::CreateContext() {
    m_cr = cairo_create(m_surface);
    const cairo_status_t status = cairo_status(m_cr);
    if (status != CAIRO_STATUS_SUCCESS) {
        _Log(LOG_WARNING, "SRenderingCore::SRenderingCore", __LINE__,
             "----------cairo_create is Fail (%d)-----------------", static_cast<int>(status));
    }
}

SRenderingCore::~SRenderingCore() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
}

bool SRenderingCore::IsValid() const {
    return cairo_status(m_cr) == CAIRO_STATUS_SUCCESS;
}

void SRenderingCore::SetColour(uint32_t colour) {
    const SColor c(colour);
    cairo_set_source_rgba(m_cr, c.Red(), c.Green(), c.Blue(), c.Alpha());
    cairo_set_operator(m_cr, c.IsOpaque() ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
}

void SRenderingCore::RoundRectPath(double x, double y, double width, double height, double radius) {
    cairo_new_path(m_cr);
    if (radius == 0) {
        cairo_rectangle(m_cr, x, y, width, height);
        return;
    }
    cairo_new_sub_path(m_cr);
    cairo_arc(m_cr, x + width - radius, y + radius, radius, -kPi / 2, 0);
    cairo_arc(m_cr, x + width - radius, y + height - radius, radius, 0, kPi / 2);
    cairo_arc(m_cr, x + radius, y + height - radius, radius, kPi / 2, kPi);
    cairo_arc(m_cr, x + radius, y + radius, radius, kPi, 3 * kPi / 2);
    cairo_close_path(m_cr);
}

void SRenderingCore::FillWithSurface(cairo_surface_t* source, double width, double height,
                                     int smooth) {
    if (source == nullptr) {
        return;
    }
    cairo_save(m_cr);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
    cairo_matrix_t identity;
    cairo_matrix_init_identity(&identity);
    cairo_pattern_set_matrix(pattern, &identity);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, FilterFor(smooth));
    cairo_set_source(m_cr, pattern);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_OVER);
    cairo_rectangle(m_cr, 0, 0, width, height);
    cairo_fill(m_cr);
    cairo_pattern_destroy(pattern);
    cairo_restore(m_cr);
}

void SRenderingCore::DrawSurfaceFit(cairo_surface_t* source, double x, double y, double width,
                                    double height, double sourceWidth, double sourceHeight,
                                    int smooth, int pad) {
    if (source == nullptr || sourceWidth <= 0 || sourceHeight <= 0) {
        return;
    }
    const double s = std::min(height / sourceHeight, width / sourceWidth);
    if (!(s > 0)) {
        return;
    }
    cairo_save(m_cr);
    cairo_translate(m_cr, x, y);
    cairo_scale(m_cr, s, s);
    cairo_set_source_surface(m_cr, source, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(m_cr);
    cairo_pattern_set_extend(pattern, pad != 0 ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern, FilterFor(smooth));
    cairo_rectangle(m_cr, 0, 0, width / s, height / s);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

bool SRenderingCore::ClipForSurface(double x, double y, double width, double height, int ellipse,
                                    double radius) {
    if (ellipse != 0) {
        const double r = radius >= 0 ? radius : std::min(width, height) / 2;
        cairo_new_path(m_cr);
        cairo_arc(m_cr, x + width / 2, y + height / 2, r, 0, 2 * kPi + 0.001);
        cairo_clip(m_cr);
        return true;
    }
    SRect area = SRect::FromSize(x, y, width, height);
    if (!m_clips.empty()) {
        area = area.Intersect(m_clips.back());
    }
    if (area.IsEmpty()) {
        return false;
    }
    cairo_new_path(m_cr);
    cairo_rectangle(m_cr, area.left, area.top, area.Width(), area.Height());
    cairo_clip(m_cr);
    return true;
}

void SRenderingCore::DrawSurface(cairo_surface_t* source, double x, double y, double width,
                                 double height, int smooth, int replace, int ellipse,
                                 double alpha) {
    if (source == nullptr || width <= 0 || height <= 0) {
        return;
    }
    // The surrounding save/restore puts the active clip back afterwards, whatever else clips.
    cairo_save(m_cr);
    if (ClipForSurface(x, y, width, height, ellipse, -1)) {
        cairo_set_source_surface(m_cr, source, x, y);
        cairo_pattern_set_filter(cairo_get_source(m_cr), FilterFor(smooth));
        cairo_set_operator(m_cr, replace != 0 ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
        if (alpha != 1.0) {
            cairo_paint_with_alpha(m_cr, alpha);
        } else {
            cairo_paint(m_cr);
        }
    }
    cairo_restore(m_cr);
}

void SRenderingCore::DrawSurfaceWhole(cairo_surface_t* source, double x, double y, int smooth,
                                      int replace, int ellipse) {
    if (source == nullptr) {
        return;
    }
    double width = 0;
    double height = 0;
    if (cairo_surface_get_type(source) == CAIRO_SURFACE_TYPE_IMAGE) {
        width = cairo_image_surface_get_width(source);
        height = cairo_image_surface_get_height(source);
    } else {
        double x1 = 0;
        double y1 = 0;
        cairo_t* probe = cairo_create(source);
        cairo_clip_extents(probe, &x1, &y1, &width, &height);
        cairo_destroy(probe);
    }
    DrawSurface(source, x, y, width, height, smooth, replace, ellipse, 1.0);
}

void SRenderingCore::DrawSurfaceScaled(cairo_surface_t* source, double x, double y, double width,
                                       double height, double sourceWidth, double sourceHeight,
                                       int smooth, int replace, int ellipse, double alpha,
                                       double radius) {
    if (source == nullptr || width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) {
        return;
    }
    const double sx = width / sourceWidth;
    const double sy = height / sourceHeight;
    cairo_save(m_cr);
    if (ClipForSurface(x, y, width, height, ellipse, radius)) {
        cairo_scale(m_cr, sx, sy);
        cairo_set_source_surface(m_cr, source, x / sx, y / sy);
        cairo_pattern_t* pattern = cairo_get_source(m_cr);
        cairo_pattern_set_filter(pattern, FilterFor(smooth));
        // Edge pixels repeat outwards instead of fading into transparency when scaled.
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_set_operator(m_cr, replace != 0 ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
        cairo_new_path(m_cr);
        cairo_rectangle(m_cr, x / sx, y / sy, sourceWidth, sourceHeight);
        cairo_clip(m_cr);
        if (alpha != 1.0) {
            cairo_paint_with_alpha(m_cr, alpha);
        } else {
            cairo_paint(m_cr);
        }
    }
    cairo_restore(m_cr);
}

void SRenderingCore::Translate(double dx, double dy) {
    cairo_translate(m_cr, dx, dy);
}

void SRenderingCore::Rotate(double degrees) {
    cairo_rotate(m_cr, degrees * kPi / 180);
}

void SRenderingCore::Scale(double sx, double sy) {
    cairo_scale(m_cr, sx, sy);
}

void SRenderingCore::DrawRoundRect(double x, double y, double width, double height, uint32_t colour,
                                   double lineWidth, double radius) {
    if (SColor(colour).IsInvisible()) {
        return;
    }
    RoundRectPath(x, y, width, height, radius);
    SetColour(colour);
    if (lineWidth != 0) {
        cairo_set_line_width(m_cr, lineWidth);
        cairo_stroke(m_cr);
    } else {
        cairo_fill(m_cr);
    }
}

void SRenderingCore::FillCircle(double x, double y, double width, double height, uint32_t colour) {
    if (SColor(colour).IsInvisible()) {
        return;
    }
    cairo_new_path(m_cr);
    cairo_arc(m_cr, x + width / 2, y + height / 2, std::min(width, height) / 2, 0, 2 * kPi + 0.001);
    SetColour(colour);
    cairo_fill(m_cr);
}

void SRenderingCore::ClearRect(double x, double y, double width, double height) {
    cairo_save(m_cr);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_CLEAR);
    cairo_new_path(m_cr);
    cairo_rectangle(m_cr, x, y, width, height);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void SRenderingCore::FillGradient(double x, double y, double width, double height,
                                  uint32_t colourEnd, uint32_t colourStart, int direction,
                                  double radius) {
    cairo_pattern_t* gradient = direction == 1 ? cairo_pattern_create_linear(x, y, x, y + height)
                                               : cairo_pattern_create_linear(x, y, x + width, y);
    const SColor start(colourStart);
    const SColor end(colourEnd);
    cairo_pattern_add_color_stop_rgba(gradient, 0, start.Red(), start.Green(), start.Blue(),
                                      start.Alpha());
    cairo_pattern_add_color_stop_rgba(gradient, 1, end.Red(), end.Green(), end.Blue(), end.Alpha());
    RoundRectPath(x, y, width, height, radius);
    cairo_set_source(m_cr, gradient);
    cairo_set_operator(
        m_cr, start.IsOpaque() && end.IsOpaque() ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
    cairo_fill(m_cr);
    cairo_pattern_destroy(gradient);
}

void SRenderingCore::DrawLine(double x1, double y1, double x2, double y2, double width,
                              uint32_t colour) {
    if (SColor(colour).IsInvisible()) {
        return;
    }
    cairo_new_path(m_cr);
    cairo_move_to(m_cr, x1, y1);
    cairo_line_to(m_cr, x2, y2);
    cairo_set_line_width(m_cr, width);
    SetColour(colour);
    cairo_stroke(m_cr);
}

void SRenderingCore::FillTriangle(double x1, double y1, double x2, double y2, double x3, double y3,
                                  uint32_t colour) {
    if (SColor(colour).IsInvisible()) {
        return;
    }
    cairo_new_path(m_cr);
    cairo_move_to(m_cr, static_cast<int>(x1), static_cast<int>(y1));
    cairo_line_to(m_cr, static_cast<int>(x2), static_cast<int>(y2));
    cairo_line_to(m_cr, static_cast<int>(x3), static_cast<int>(y3));
    cairo_close_path(m_cr);
    SetColour(colour);
    cairo_fill(m_cr);
}

void SRenderingCore::DrawArc(double cx, double cy, double r, double start, double end, double width,
                             uint32_t colour) {
    if (SColor(colour).IsInvisible()) {
        return;
    }
    cairo_new_path(m_cr);
    cairo_arc(m_cr, cx, cy, r, start * kPi, end * kPi);
    cairo_set_line_width(m_cr, width);
    SetColour(colour);
    cairo_stroke(m_cr);
}

void SRenderingCore::Flush() {
    cairo_surface_flush(m_surface);
}

void SRenderingCore::PushGroup() {
    cairo_push_group(m_cr);
    ++m_groupDepth;
}

void SRenderingCore::PopGroup() {
    if (m_groupDepth == 0) {
        return;  // an unbalanced pop would put the context into an error state for good
    }
    --m_groupDepth;
    cairo_pop_group_to_source(m_cr);
    cairo_paint(m_cr);
}

SRect SRenderingCore::GetActiveClip() const {
    if (m_clips.empty()) {
        return SRect(0, 0, m_width, m_height);
    }
    return m_clips.back();
}

void SRenderingCore::ApplyClip() {
    // Clip rectangles are surface pixels whatever transformation is current; the clip is
    // fixed in device space when it is set, so the matrix can be put back at once.
    cairo_matrix_t matrix;
    cairo_get_matrix(m_cr, &matrix);
    cairo_identity_matrix(m_cr);
    cairo_reset_clip(m_cr);
    if (!m_clips.empty()) {
        const SRect& clip = m_clips.back();
        cairo_new_path(m_cr);
        cairo_rectangle(m_cr, clip.left, clip.top, clip.Width(), clip.Height());
        cairo_clip(m_cr);
    }
    cairo_set_matrix(m_cr, &matrix);
}

void SRenderingCore::SetClip(double x, double y, double width, double height) {
    SRect clip = SRect::FromSize(x, y, width, height);
    if (!m_clips.empty()) {
        clip = clip.Intersect(m_clips.back());
    }
    m_clips.push_back(clip);
    ApplyClip();
}

void SRenderingCore::ResetClip() {
    if (!m_clips.empty()) {
        m_clips.pop_back();
    }
    ApplyClip();
}

void SRenderingCore::RestoreClipDepth(int depth) {
    if (depth < 0 || depth >= static_cast<int>(m_clips.size())) {
        return;
    }
    m_clips.resize(static_cast<std::size_t>(depth));
    ApplyClip();
}

void SRenderingCore::DrawTextPlain(const std::string& text, const PangoFontDescription* font,
                                   double x, double y) {
    PangoLayout* layout = pango_cairo_create_layout(m_cr);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    const double baseline = pango_layout_get_baseline(layout) / static_cast<double>(PANGO_SCALE);
    cairo_set_source_rgb(m_cr, 0, 0, 0);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_OVER);
    cairo_move_to(m_cr, x, y - baseline);
    pango_cairo_show_layout(m_cr, layout);
    g_object_unref(layout);
}

void SRenderingCore::CopyRect(cairo_surface_t* source, double x, double y, double sourceX,
                              double sourceY, double width, double height) {
    if (source == nullptr) {
        return;
    }
    cairo_save(m_cr);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(m_cr, source, x - sourceX, y - sourceY);
    cairo_pattern_set_filter(cairo_get_source(m_cr), CAIRO_FILTER_NEAREST);
    cairo_new_path(m_cr);
    cairo_rectangle(m_cr, x, y, width, height);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void SRenderingCore::MirrorHorizontally() {
    cairo_matrix_t mirror;
    cairo_matrix_init(&mirror, -1, 0, 0, 1, m_width, 0);
    cairo_transform(m_cr, &mirror);
}

void SRenderingCore::Save() {
    cairo_save(m_cr);
    ++m_saveDepth;
}

void SRenderingCore::Restore() {
    if (m_saveDepth == 0) {
        return;  // an unbalanced restore would put the context into an error state for good
    }
    --m_saveDepth;
    cairo_restore(m_cr);
}
