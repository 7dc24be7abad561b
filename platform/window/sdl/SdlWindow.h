#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <memory>

#include "platform/window/BackendBase.h"
#include "platform/window/ShapeMask.h"

namespace platform::window {

class SdlBackend;
class WaylandPopup;

// A native window made with SDL2. Pictures are copied onto the window's own surface.
class SdlWindow : public WindowBase {
public:
    SdlWindow(SdlBackend& backend, SDL_Window* window, Transparency transparency);
    // A menu or tooltip on Wayland: `popup` maps and draws the window's surface, placed at
    // `rect` in the same screen coordinates as its parent's.
    SdlWindow(SdlBackend& backend, SDL_Window* window, std::unique_ptr<WaylandPopup> popup,
              Rect rect, bool takesKeys);
    ~SdlWindow() override;

    void show() override;
    void hide() override;
    bool isVisible() const override;
    void raise() override;
    void takeFocus() override;
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
    bool isWaylandPopup() const { return m_popup != nullptr; }
    // A dialog shown as a Wayland popup: its parent's keys are meant for it.
    bool takesParentKeys() const { return m_popup != nullptr && m_takesKeys && isVisible(); }
    // The window a Wayland popup was last mapped on; null for other windows.
    SDL_Window* popupParent() const { return m_popupParent; }

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
    // Wayland menus and tooltips (see WaylandPopup): where the program placed them.
    std::unique_ptr<WaylandPopup> m_popup;
    Rect m_popupRect;
    SDL_Window* m_popupParent = nullptr;
    bool m_takesKeys = false;
    // Shows a popup on the window with the keyboard (or the pointer), or as a window of its own
    // when there is none.
    void showPopup();
    // Maps the popup on its parent at its place; that place relative to the parent, in pixels.
    Point mapPopup();
    void unmapPopup();
};

}  // namespace platform::window
