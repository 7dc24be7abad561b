#include "tools/artgen/SvgRenderer.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <cmath>
#include <memory>
#include <system_error>

namespace artgen {

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct HandleDeleter {
    void operator()(RsvgHandle* handle) const { g_object_unref(handle); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;
using Handle = std::unique_ptr<RsvgHandle, HandleDeleter>;

}  // namespace

int SvgRenderer::ScaledSize(int logical, double scale) {
    return static_cast<int>(std::lround(logical * scale));
}

std::string SvgRenderer::Render(const std::string& svg, const ArtworkJob& job,
                                const std::filesystem::path& target, double scale) {
    GError* error = nullptr;
    Handle handle(
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error));
    if (!handle) {
        std::string message = error != nullptr ? error->message : "unreadable SVG";
        g_clear_error(&error);
        return message;
    }
    rsvg_handle_set_dpi(handle.get(), 96.0);
    Surface canvas(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                              ScaledSize(job.canvasWidth, scale),
                                              ScaledSize(job.canvasHeight, scale)));
    {
        Context cr(cairo_create(canvas.get()));
        cairo_scale(cr.get(), scale, scale);
        const RsvgRectangle viewport{0, 0, static_cast<double>(job.canvasWidth),
                                     static_cast<double>(job.canvasHeight)};
        if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error)) {
            std::string message = error != nullptr ? error->message : "cannot render";
            g_clear_error(&error);
            return message;
        }
    }
    const int width = job.width > 0 ? job.width : job.canvasWidth;
    const int height = job.height > 0 ? job.height : job.canvasHeight;
    Surface picture(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, ScaledSize(width, scale),
                                               ScaledSize(height, scale)));
    {
        Context cr(cairo_create(picture.get()));
        cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr.get(), canvas.get(), -std::round(job.cropX * scale),
                                 -std::round(job.cropY * scale));
        cairo_paint(cr.get());
    }
    std::error_code ignored;
    std::filesystem::create_directories(target.parent_path(), ignored);
    const std::filesystem::path temporary = target.string() + ".part";
    if (cairo_surface_write_to_png(picture.get(), temporary.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::filesystem::remove(temporary, ignored);
        return "cannot write " + temporary.string();
    }
    std::error_code renamed;
    std::filesystem::rename(temporary, target, renamed);
    if (renamed) {
        std::filesystem::remove(temporary, ignored);
        return "cannot rename to " + target.string() + ": " + renamed.message();
    }
    return {};
}

}  // namespace artgen
