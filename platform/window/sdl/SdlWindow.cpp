#include "platform/window/sdl/SdlWindow.h"

#include "base/Log.h"
#include "platform/window/sdl/SdlBackend.h"
#include "platform/window/sdl/WaylandPopup.h"
#include "platform/window/sdl/WaylandShell.h"

#include <SDL2/SDL_shape.h>

#include <algorithm>
#include <cstring>

namespace platform::window {

SdlWindow::SdlWindow(SdlBackend& backend, SDL_Window* window, Transparency transparency)
    : WindowBase(backend, SDL_GetWindowID(window)),
      m_sdl(backend),
      m_window(window),
      m_transparency(transparency) {}

SdlWindow::SdlWindow(SdlBackend& backend, SDL_Window* window, std::unique_ptr<WaylandPopup> popup,
                     Rect rect, bool takesKeys)
    : WindowBase(backend, SDL_GetWindowID(window)),
      m_sdl(backend),
      m_window(window),
      m_transparency(Transparency::PerPixel),
      m_popup(std::move(popup)),
      m_popupRect(rect),
      m_takesKeys(takesKeys) {}

SdlWindow::~SdlWindow() {
    // The popup's role objects go before SDL destroys the surface they belong to.
    if (m_popup) {
        unmapPopup();
        m_popup.reset();
    }
    if (m_captured) {
        SDL_CaptureMouse(SDL_FALSE);
    }
    if (m_texture != nullptr) {
        SDL_DestroyTexture(m_texture);
    }
    if (m_renderer != nullptr) {
        SDL_DestroyRenderer(m_renderer);
    }
    SDL_DestroyWindow(m_window);
}

void SdlWindow::show() {
    if (m_popup) {
        showPopup();
        return;
    }
    SDL_ShowWindow(m_window);
}

void SdlWindow::hide() {
    if (m_popup) {
        unmapPopup();
        return;
    }
    SDL_HideWindow(m_window);
}

void SdlWindow::unmapPopup() {
    if (m_popup->mapped()) {
        _Log(LOG_DEBUG, "SdlWindow::hide", __LINE__, "popup \"%s\" hidden",
             SDL_GetWindowTitle(m_window));
    }
    m_popup->unmap();
    m_sdl.popupMapped(id(), false);
}

bool SdlWindow::isVisible() const {
    if (m_popup) {
        return m_popup->mapped();
    }
    return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_SHOWN) != 0;
}

void SdlWindow::showPopup() {
    SDL_Window* parent = m_sdl.popupParentFor(this);
    if (WaylandShell::handlesOf(parent).shellSurface == nullptr) {
        // Nothing of ours has the keyboard or the pointer: the compositor places it instead,
        // as a window of its own, drawn through SDL from now on.
        _Log(LOG_INFO, "SdlWindow::show", __LINE__,
             "popup \"%s\" has no window to open on: shown as a window of its own",
             SDL_GetWindowTitle(m_window));
        unmapPopup();
        m_popup.reset();
        m_popupParent = nullptr;
        SDL_SetWindowPosition(m_window, m_sdl.toUnits(m_popupRect.x), m_sdl.toUnits(m_popupRect.y));
        SDL_ShowWindow(m_window);
        return;
    }
    m_popupParent = parent;
    const Point offset = mapPopup();
    if (m_takesKeys) {
        m_sdl.popupMapped(id(), true);
    }
    _Log(LOG_DEBUG, "SdlWindow::show", __LINE__, "popup \"%s\" %dx%d at %d,%d of window %u",
         SDL_GetWindowTitle(m_window), m_popupRect.width, m_popupRect.height, offset.x, offset.y,
         SDL_GetWindowID(m_popupParent));
}

Point SdlWindow::mapPopup() {
    // The program places popups in the coordinates SDL reports for its windows; the compositor
    // needs the popup's place relative to its parent.
    int parentX = 0;
    int parentY = 0;
    SDL_GetWindowPosition(m_popupParent, &parentX, &parentY);
    const Point offset{m_popupRect.x - m_sdl.toPixels(parentX),
                       m_popupRect.y - m_sdl.toPixels(parentY)};
    m_popup->map(WaylandShell::handlesOf(m_popupParent).shellSurface, m_sdl.pixelRatio(),
                 Point{m_sdl.toUnits(offset.x), m_sdl.toUnits(offset.y)},
                 m_sdl.toUnitsCeil(m_popupRect.width), m_sdl.toUnitsCeil(m_popupRect.height));
    return offset;
}

void SdlWindow::raise() {
    if (m_popup) {
        return;  // popups are always above their parent
    }
    // A minimised window comes back first: raising it alone would leave it in the task bar.
    if (isMinimized()) {
        SDL_RestoreWindow(m_window);
    }
    SDL_RaiseWindow(m_window);
}

void SdlWindow::takeFocus() {
    if (m_popup) {
        return;  // a Wayland popup receives its parent's keys (see SdlBackend::keyTarget)
    }
    raise();
    // Raising asks the window manager to activate the window; the focus is also set directly,
    // for window managers that refuse activation to a program (focus-stealing prevention) and
    // for a display without one. Only X11 lets a program set the focus itself.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "x11") == 0 && isVisible()) {
        SDL_SetWindowInputFocus(m_window);
    }
}

void SdlWindow::minimize() {
    SDL_MinimizeWindow(m_window);
}

bool SdlWindow::isMinimized() const {
    return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_MINIMIZED) != 0;
}

void SdlWindow::setTitle(const std::string& title) {
    SDL_SetWindowTitle(m_window, title.c_str());
}

Rect SdlWindow::screenRect() const {
    if (m_popup) {
        return m_popupRect;
    }
    Rect rect;
    SDL_GetWindowPosition(m_window, &rect.x, &rect.y);
    SDL_GetWindowSize(m_window, &rect.width, &rect.height);
    return Rect{m_sdl.toPixels(rect.x), m_sdl.toPixels(rect.y), m_sdl.toPixels(rect.width),
                m_sdl.toPixels(rect.height)};
}

void SdlWindow::move(int x, int y) {
    if (m_popup) {
        // A popup dragged by the program moves on the window it opened on.
        const bool moved = m_popupRect.x != x || m_popupRect.y != y;
        m_popupRect.x = x;
        m_popupRect.y = y;
        if (moved && m_popup->mapped()) {
            mapPopup();
        }
        return;
    }
    SDL_SetWindowPosition(m_window, m_sdl.toUnits(x), m_sdl.toUnits(y));
}

void SdlWindow::resize(int width, int height) {
    SDL_SetWindowSize(m_window, m_sdl.toUnitsCeil(width), m_sdl.toUnitsCeil(height));
    if (m_popup) {
        m_popupRect.width = width;
        m_popupRect.height = height;
    }
}

void SdlWindow::present(cairo_surface_t* surface) {
    if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return;
    }
    cairo_surface_flush(surface);
    if (m_popup) {
        m_popup->present(surface);
        return;
    }
    if ((m_transparency == Transparency::PerPixel || m_sdl.pixelRatio() > 1) &&
        m_renderer == nullptr) {
        // A window surface has one pixel per unit; a renderer draws the picture with all the
        // pixels a scaled output gives the window.
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver != nullptr && SDL_strcmp(driver, "wayland") == 0) {
            presentWithRenderer(surface);
            return;
        }
    } else if (m_renderer != nullptr) {
        presentWithRenderer(surface);
        return;
    }
    SDL_Surface* target = SDL_GetWindowSurface(m_window);
    if (target == nullptr) {
        _Log(LOG_WARNING, "SdlWindow::present", __LINE__, "no window surface: %s", SDL_GetError());
        return;
    }
    // A window with an alpha visual takes the premultiplied pixels as they are, which is what
    // the compositor blends; a shaped window takes their straight colours; other windows get an
    // ordinary copy.
    const bool copied = m_transparency != Transparency::None &&
                        copyPixels(surface, target, m_transparency == Transparency::Shape);
    if (!copied) {
        blit(surface, target);
    }
    if (m_transparency == Transparency::Shape) {
        updateShape(surface);
    }
    SDL_UpdateWindowSurface(m_window);
}

void SdlWindow::blit(cairo_surface_t* surface, SDL_Surface* target) {
    // Cairo's RGB24 and ARGB32 are both 32-bit native-endian words; with blending off the blit
    // copies them as they are (translucent ARGB32 pixels appear over black).
    const bool alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        cairo_image_surface_get_data(surface), cairo_image_surface_get_width(surface),
        cairo_image_surface_get_height(surface), 32, cairo_image_surface_get_stride(surface),
        alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_RGB888);
    if (source == nullptr) {
        return;
    }
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
}

bool SdlWindow::copyPixels(cairo_surface_t* source, SDL_Surface* target, bool straight) {
    const SDL_PixelFormat* format = target->format;
    if (format->BytesPerPixel != 4 || format->Rmask != 0x00FF0000u ||
        format->Gmask != 0x0000FF00u || format->Bmask != 0x000000FFu) {
        return false;
    }
    const int width = std::min(cairo_image_surface_get_width(source), target->w);
    const int height = std::min(cairo_image_surface_get_height(source), target->h);
    const int sourceStride = cairo_image_surface_get_stride(source);
    const unsigned char* from = cairo_image_surface_get_data(source);
    if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) {
        return false;
    }
    auto* to = static_cast<unsigned char*>(target->pixels);
    for (int row = 0; row < height; ++row) {
        unsigned char* line = to + static_cast<std::ptrdiff_t>(row) * target->pitch;
        std::memcpy(line, from + static_cast<std::ptrdiff_t>(row) * sourceStride,
                    static_cast<std::size_t>(width) * 4);
        if (straight && cairo_image_surface_get_format(source) == CAIRO_FORMAT_ARGB32) {
            unpremultiply(reinterpret_cast<uint32_t*>(line), width);
        }
    }
    if (SDL_MUSTLOCK(target)) {
        SDL_UnlockSurface(target);
    }
    return true;
}

void SdlWindow::unpremultiply(uint32_t* pixels, int count) {
    for (int i = 0; i < count; ++i) {
        const uint32_t pixel = pixels[i];
        const uint32_t alpha = pixel >> 24;
        if (alpha == 0 || alpha == 255) {
            continue;
        }
        auto channel = [&](int shift) {
            const uint32_t value = (pixel >> shift) & 0xFFu;
            return std::min<uint32_t>(255u, (value * 255u + alpha / 2) / alpha) << shift;
        };
        pixels[i] = (alpha << 24) | channel(16) | channel(8) | channel(0);
    }
}

void SdlWindow::setWholeShape() {
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(m_window, &width, &height);
    SDL_Surface* whole =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (whole == nullptr) {
        return;
    }
    SDL_FillRect(whole, nullptr, 0xFFFFFFFFu);
    SDL_WindowShapeMode mode;
    mode.mode = ShapeModeBinarizeAlpha;
    mode.parameters.binarizationCutoff = 128;
    SDL_SetWindowShape(m_window, whole, &mode);
    SDL_FreeSurface(whole);
    m_shape = ShapeMask();
}

void SdlWindow::updateShape(cairo_surface_t* surface) {
    // Shapes are costly for the X server; set one only when the picture's outline changed.
    ShapeMask shape = ShapeMask::fromSurface(surface);
    if (shape == m_shape) {
        return;
    }
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        cairo_image_surface_get_data(surface), cairo_image_surface_get_width(surface),
        cairo_image_surface_get_height(surface), 32, cairo_image_surface_get_stride(surface),
        cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32 ? SDL_PIXELFORMAT_ARGB8888
                                                                       : SDL_PIXELFORMAT_RGB888);
    if (source == nullptr) {
        return;
    }
    SDL_WindowShapeMode mode;
    mode.mode = ShapeModeBinarizeAlpha;
    mode.parameters.binarizationCutoff = 128;
    const int result = SDL_SetWindowShape(m_window, source, &mode);
    if (result == 0) {
        m_shape = std::move(shape);
    } else {
        _Log(LOG_WARNING, "SdlWindow::updateShape", __LINE__, "SDL_SetWindowShape: %d %s", result,
             SDL_GetError());
    }
    SDL_FreeSurface(source);
}

void SdlWindow::presentWithRenderer(cairo_surface_t* surface) {
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    if (m_renderer == nullptr) {
        // The drawing surface must keep the picture's alpha for the compositor to blend it;
        // SDL asks for none unless told (the corners and shadows showed black).
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
        m_renderer = SDL_CreateRenderer(m_window, -1, 0);
        if (m_renderer == nullptr) {
            _Log(LOG_WARNING, "SdlWindow::present", __LINE__, "no renderer: %s", SDL_GetError());
            m_transparency = Transparency::None;
            return;
        }
    }
    int textureWidth = 0;
    int textureHeight = 0;
    if (m_texture != nullptr) {
        SDL_QueryTexture(m_texture, nullptr, nullptr, &textureWidth, &textureHeight);
    }
    if (m_texture == nullptr || textureWidth != width || textureHeight != height) {
        if (m_texture != nullptr) {
            SDL_DestroyTexture(m_texture);
        }
        m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888,
                                      SDL_TEXTUREACCESS_STREAMING, width, height);
        if (m_texture == nullptr) {
            return;
        }
        // The pixels replace what is there, alpha included: the compositor does the blending.
        SDL_SetTextureBlendMode(m_texture, SDL_BLENDMODE_NONE);
    }
    SDL_UpdateTexture(m_texture, nullptr, cairo_image_surface_get_data(surface),
                      cairo_image_surface_get_stride(surface));
    SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 0);
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
    SDL_RenderPresent(m_renderer);
}

bool SdlWindow::setOpacity(double opacity) {
    return SDL_SetWindowOpacity(m_window, static_cast<float>(opacity)) == 0;
}

bool SdlWindow::setCapture() {
    // SDL captures only for the window that has the keyboard focus; while a button is held it
    // also captures on its own, so a refusal here only loses motion outside the window. The
    // flag stays set so that releaseCapture always undoes what was asked for.
    m_captured = true;
    return SDL_CaptureMouse(SDL_TRUE) == 0;
}

void SdlWindow::releaseCapture() {
    if (m_captured) {
        m_captured = false;
        SDL_CaptureMouse(SDL_FALSE);
    }
}

void SdlWindow::setCursor(Cursor cursor) {
    if (SDL_Cursor* native = m_sdl.systemCursor(cursor)) {
        if (SDL_GetCursor() != native) {
            SDL_SetCursor(native);
        }
    }
}

SDL_HitTestResult SdlWindow::hitTest(SDL_Window*, const SDL_Point* area, void* data) {
    auto* self = static_cast<SdlWindow*>(data);
    if (self->listener() == nullptr || !self->isEnabled()) {
        return SDL_HITTEST_NORMAL;
    }
    const Point point{self->m_sdl.toPixels(area->x), self->m_sdl.toPixels(area->y)};
    switch (self->listener()->onHitTest(point)) {
        case HitCode::Normal:
            return SDL_HITTEST_NORMAL;
        case HitCode::Caption:
            return SDL_HITTEST_DRAGGABLE;
        case HitCode::ResizeTopLeft:
            return SDL_HITTEST_RESIZE_TOPLEFT;
        case HitCode::ResizeTop:
            return SDL_HITTEST_RESIZE_TOP;
        case HitCode::ResizeTopRight:
            return SDL_HITTEST_RESIZE_TOPRIGHT;
        case HitCode::ResizeRight:
            return SDL_HITTEST_RESIZE_RIGHT;
        case HitCode::ResizeBottomRight:
            return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
        case HitCode::ResizeBottom:
            return SDL_HITTEST_RESIZE_BOTTOM;
        case HitCode::ResizeBottomLeft:
            return SDL_HITTEST_RESIZE_BOTTOMLEFT;
        case HitCode::ResizeLeft:
            return SDL_HITTEST_RESIZE_LEFT;
    }
    return SDL_HITTEST_NORMAL;
}

bool SdlWindow::enableHitTest() {
    // SDL would start a toplevel move on a popup it never mapped; the program moves popups
    // itself (see move()).
    if (m_popup) {
        return false;
    }
    return SDL_SetWindowHitTest(m_window, &SdlWindow::hitTest, this) == 0;
}

}  // namespace platform::window
