#pragma once

#include <SDL2/SDL.h>

#include "platform/window/BackendBase.h"

namespace platform::window {

class SdlBackend;

// A native window made with SDL2. Pictures are copied onto the window's own surface.
class SdlWindow : public WindowBase {
public:
    SdlWindow(SdlBackend& backend, SDL_Window* window);
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

    SDL_Window* native() const { return m_window; }

private:
    static SDL_HitTestResult hitTest(SDL_Window* window, const SDL_Point* area, void* data);

    SdlBackend& m_sdl;
    SDL_Window* m_window;
    bool m_captured = false;
};

}  // namespace platform::window
