#pragma once

#include "platform/window/BackendBase.h"
#include "platform/window/ShapeMask.h"

namespace platform::window {

class HeadlessBackend;

// A window that exists only in memory. It keeps a copy of every presented picture so tests
// can read back what the program drew.
class HeadlessWindow : public WindowBase {
public:
    HeadlessWindow(HeadlessBackend& backend, WindowId id, const WindowOptions& options);
    ~HeadlessWindow() override;

    void show() override;
    void hide() override;
    bool isVisible() const override { return m_visible; }
    void raise() override { ++m_raiseCount; }
    void takeFocus() override;
    void minimize() override { m_minimized = true; }
    bool isMinimized() const override { return m_minimized; }
    void setTitle(const std::string& title) override { m_title = title; }
    Rect screenRect() const override { return m_rect; }
    void move(int x, int y) override;
    void resize(int width, int height) override;
    void present(cairo_surface_t* surface) override;
    bool setOpacity(double opacity) override;
    bool setCapture() override;
    void releaseCapture() override;
    bool hasCapture() const override { return m_captured; }
    bool trackMouseLeave() override;
    void setCursor(Cursor cursor) override { m_cursor = cursor; }
    bool enableHitTest() override;
    Transparency transparency() const override { return m_transparency; }

    // What tests read back.
    cairo_surface_t* lastFrame() const { return m_frame; }  // null before the first present
    int presentCount() const { return m_presentCount; }
    const std::string& title() const { return m_title; }
    Cursor cursor() const { return m_cursor; }
    double opacity() const { return m_opacity; }
    int raiseCount() const { return m_raiseCount; }
    int leaveTrackingRequests() const { return m_leaveRequests; }
    bool hitTestEnabled() const { return m_hitTest; }
    uint32_t style() const { return m_style; }
    // The window this one was made for (a dialog's owner); 0 for a window of its own.
    WindowId ownerId() const { return m_owner; }
    // With Transparency::Shape, the shape the last picture gave the window.
    const ShapeMask& shape() const { return m_shape; }

private:
    void queue(WindowEvent::Type type);

    HeadlessBackend& m_headless;
    Rect m_rect;
    uint32_t m_style;
    WindowId m_owner = 0;
    std::string m_title;
    bool m_visible = false;
    bool m_captured = false;
    bool m_hitTest = false;
    Cursor m_cursor = Cursor::Arrow;
    double m_opacity = 1.0;
    int m_raiseCount = 0;
    bool m_minimized = false;
    int m_leaveRequests = 0;
    int m_presentCount = 0;
    cairo_surface_t* m_frame = nullptr;
    Transparency m_transparency = Transparency::None;
    ShapeMask m_shape;
};

}  // namespace platform::window
