#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/headless/HeadlessBackend.h"
#include "ui/SGUIApp.h"
#include "ui/SPanel.h"
#include "ui/SWindowFrame.h"

namespace ui_test {

// A panel that writes every hook it receives into a shared log ("name:event").
class RecordingWidget : public SPanel {
public:
    RecordingWidget(std::vector<std::string>* log = nullptr) : m_log(log) {}

    int OnMouseMove(const SMouseEventArgs& event) override;
    int OnLButtonDown(const SMouseEventArgs& event) override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    int OnRButtonDown(const SMouseEventArgs& event) override;
    int OnLButtonDoubleClick(const SMouseEventArgs& event) override;
    int OnMouseWheel(const SMouseEventArgs& event) override;
    int OnMouseEnter(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;
    int OnHitTestArea(const SMouseEventArgs& event) override;
    void OnTimer(uint32_t id) override;
    int KeyDown(int key, uint32_t flags) override;
    int KeyUp(int key, uint32_t flags) override;
    void OnSetFocus() override;
    void OnKillFocus() override;
    void OnPaint(SDC& dc) override;
    void OnFirstShow() override;
    void OnSize(double width, double height) override;

    void Record(const std::string& event);

    int wheelResult = 0;
    int hitTestArea = kHitClient;
    int keyResult = 0;
    int paints = 0;
    SPoint lastPoint;
    std::vector<std::string>* m_log;
};

// A frame whose root is a RecordingWidget named "Root".
class TestFrame : public SWindowFrame {
public:
    ~TestFrame() override { Destroy(); }
    int OnCreate() override;
    RecordingWidget root;
    std::vector<std::string>* log = nullptr;
};

// A headless application with one frame; tests add widgets under frame.root.
class UiTest : public ::testing::Test {
protected:
    UiTest();
    ~UiTest() override;

    // Creates and shows the frame with a client size in pixels.
    void CreateFrame(int width, int height, int zoomMode = 0, double zoom = 1.0);
    // Handles everything pending (events, records, paints) without blocking.
    void Pump();
    platform::window::HeadlessWindow* Window() const;
    platform::window::WindowId WindowId() const;
    // A pixel of the last presented frame as 0xAARRGGBB (alpha forced to 0xFF when opaque).
    uint32_t PresentedPixel(int x, int y) const;
    // Creates a recording child.
    RecordingWidget* AddChild(SWindowBase* parent, const std::string& name, const SMargin& margin,
                              const SSize& size, int visible = 1, int fixed = 0);

    std::vector<std::string> log;
    platform::window::HeadlessBackend backend;
    std::unique_ptr<SGUIApp> app;
    TestFrame frame;
    std::vector<std::unique_ptr<RecordingWidget>> widgets;
};

// Reads a pixel of an image surface as 0xAARRGGBB.
uint32_t SurfacePixel(cairo_surface_t* surface, int x, int y);

// The log written so far (flushed first).
std::string LogText();
// How many times `text` occurs in the log written so far.
int CountInLog(const std::string& text);

}  // namespace ui_test
