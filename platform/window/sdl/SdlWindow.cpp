#include "platform/window/sdl/SdlWindow.h"

#include "platform/window/sdl/SdlBackend.h"
#include "services/Log.h"

namespace platform::window {

SdlWindow::SdlWindow(SdlBackend& backend, SDL_Window* window)
    : WindowBase(backend, SDL_GetWindowID(window)), m_sdl(backend), m_window(window) {}

SdlWindow::~SdlWindow() {
    if (m_captured) {
        SDL_CaptureMouse(SDL_FALSE);
    }
    SDL_DestroyWindow(m_window);
}

void SdlWindow::show() {
    SDL_ShowWindow(m_window);
}

void SdlWindow::hide() {
    SDL_HideWindow(m_window);
}

bool SdlWindow::isVisible() const {
    return (SDL_GetWindowFlags(m_window) & SDL_WINDOW_SHOWN) != 0;
}

void SdlWindow::raise() {
    // A minimised window comes back first: raising it alone would leave it in the task bar.
    if (isMinimized()) {
        SDL_RestoreWindow(m_window);
    }
    SDL_RaiseWindow(m_window);
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
    Rect rect;
    SDL_GetWindowPosition(m_window, &rect.x, &rect.y);
    SDL_GetWindowSize(m_window, &rect.width, &rect.height);
    return rect;
}

void SdlWindow::move(int x, int y) {
    SDL_SetWindowPosition(m_window, x, y);
}

void SdlWindow::resize(int width, int height) {
    SDL_SetWindowSize(m_window, width, height);
}

void SdlWindow::present(cairo_surface_t* surface) {
    if (surface == nullptr || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return;
    }
    SDL_Surface* target = SDL_GetWindowSurface(m_window);
    if (target == nullptr) {
        _Log(LOG_WARNING, "SdlWindow::present", __LINE__, "no window surface: %s", SDL_GetError());
        return;
    }
    cairo_surface_flush(surface);
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
    SDL_UpdateWindowSurface(m_window);
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
    switch (self->listener()->onHitTest(Point{area->x, area->y})) {
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
    return SDL_SetWindowHitTest(m_window, &SdlWindow::hitTest, this) == 0;
}

}  // namespace platform::window
