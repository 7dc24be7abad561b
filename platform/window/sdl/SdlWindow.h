#pragma once

#include <SDL2/SDL.h>

#include <cstdint>

#include "platform/window/BackendBase.h"
#include "platform/window/ShapeMask.h"

namespace platform::window {

class SdlBackend;

// A native window made with SDL2. Pictures are copied onto the window's own surface.
class SdlWindow : public WindowBase {
public:
    SdlWindow(SdlBackend& backend, SDL_Window* window, Transparency transparency);
    ~SdlWindow() override;

    void show() override;
    void hide() override;
    bool isVisible() const override;
    void raise() override;
    void minimize() override;
    bool isMinimized() const override;
    void setTitle(const std::string& title) override;
    Rect screenRect() const override;
    void move(int x, int y) override;
    void resize(int width, int height) override;
    void present(cairo_surface_t* surface) override;
    bool setOpacity(double opacity) override;
    bool setCapture() override;
    void releaseCapture() override;
    bool hasCapture() const override { return m_captured; }
    bool trackMouseLeave() override { return true; }  // SDL always reports leaving
    void setCursor(Cursor cursor) override;
    bool enableHitTest() override;
    Transparency transparency() const override { return m_transparency; }
    // Shape windows: the whole rectangle, until a picture gives the real shape.
    void setWholeShape();

    SDL_Window* native() const { return m_window; }

private:
    static SDL_HitTestResult hitTest(SDL_Window* window, const SDL_Point* area, void* data);
    // Copies the picture's pixels as they are, alpha included, into a 32-bit window surface.
    // With `straight`, partly transparent pixels get their colour back from cairo's
    // premultiplied form: a shaped window shows them whole, and premultiplied they would draw
    // the antialiased edge of a rounded frame as a dark seam.
    static bool copyPixels(cairo_surface_t* source, SDL_Surface* target, bool straight);
    // Premultiplied ARGB words to straight ones, in place.
    static void unpremultiply(uint32_t* pixels, int count);
    void blit(cairo_surface_t* surface, SDL_Surface* target);
    void updateShape(cairo_surface_t* surface);
    void presentWithRenderer(cairo_surface_t* surface);

    SdlBackend& m_sdl;
    SDL_Window* m_window;
    bool m_captured = false;
    Transparency m_transparency;
    ShapeMask m_shape;
    // Wayland's translucent windows draw through a renderer (a window surface there has no
    // alpha); never mixed with SDL_GetWindowSurface on the same window.
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
};

}  // namespace platform::window
