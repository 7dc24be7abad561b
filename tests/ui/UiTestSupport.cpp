#include "tests/ui/UiTestSupport.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/Log.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SFontTable.h"

namespace ui_test {

namespace {

std::string Point(const SPoint& p) {
    char text[64];
    std::snprintf(text, sizeof text, "%g,%g", p.x, p.y);
    return text;
}

}  // namespace

void RecordingWidget::Record(const std::string& event) {
    if (m_log != nullptr) {
        m_log->push_back(GetName() + ":" + event);
    }
}

int RecordingWidget::OnMouseMove(const SMouseEventArgs& event) {
    lastPoint = event.point;
    Record("move " + Point(event.point));
    return 1;
}

int RecordingWidget::OnLButtonDown(const SMouseEventArgs& event) {
    lastPoint = event.point;
    Record("down " + Point(event.point));
    return 1;
}

int RecordingWidget::OnLButtonUp(const SMouseEventArgs& event) {
    lastPoint = event.point;
    Record("up " + Point(event.point));
    return 1;
}

int RecordingWidget::OnRButtonDown(const SMouseEventArgs& event) {
    Record("rdown " + Point(event.point));
    return 1;
}

int RecordingWidget::OnLButtonDoubleClick(const SMouseEventArgs& event) {
    Record("dblclick " + Point(event.point));
    return 1;
}

int RecordingWidget::OnMouseWheel(const SMouseEventArgs& event) {
    Record("wheel " + std::to_string(event.wheelDelta));
    return wheelResult;
}

int RecordingWidget::OnMouseEnter(const SMouseEventArgs&) {
    Record("enter");
    return 1;
}

void RecordingWidget::OnMouseLeave() {
    Record("leave");
}

int RecordingWidget::OnHitTestArea(const SMouseEventArgs&) {
    return hitTestArea;
}

void RecordingWidget::OnTimer(uint32_t id) {
    Record("timer " + std::to_string(id));
}

int RecordingWidget::KeyDown(int key, uint32_t flags) {
    Record("keydown " + std::to_string(key));
    return keyResult != 0 ? keyResult : SPanel::KeyDown(key, flags);
}

int RecordingWidget::KeyUp(int key, uint32_t flags) {
    Record("keyup " + std::to_string(key));
    return keyResult != 0 ? keyResult : SPanel::KeyUp(key, flags);
}

void RecordingWidget::OnSetFocus() {
    Record("focus");
}

void RecordingWidget::OnKillFocus() {
    Record("blur");
}

void RecordingWidget::OnPaint(SDC& dc) {
    ++paints;
    SPanel::OnPaint(dc);
}

void RecordingWidget::OnFirstShow() {
    Record("firstshow");
}

void RecordingWidget::OnSize(double width, double height) {
    Record("size " + Point(SPoint(width, height)));
}

int TestFrame::OnCreate() {
    root.m_log = log;
    root.CreateRoot(&agent, "Root");
    root.SetBackgroundColor(0x00FFFFFFu);
    return 0;
}

UiTest::UiTest() {
    app = std::make_unique<SGUIApp>(backend);
    SDispatcher::SetZoomFactor(1.0);
    SFontTable::Instance().SetLanguage("en-US");
    frame.log = &log;
}

UiTest::~UiTest() {
    frame.Destroy();
    SFontTable::Instance().SetLanguage("en-US");
    SDispatcher::SetZoomFactor(1.0);
}

void UiTest::CreateFrame(int width, int height, int zoomMode, double zoom) {
    SDispatcher::SetZoomFactor(zoom);
    frame.zoomMode = zoomMode;
    SFrameOptions options;
    options.rect = SRect(100, 50, 100 + width, 50 + height);
    ASSERT_EQ(frame.Create(options), 1);
    frame.Show();
    Pump();
    log.clear();
}

void UiTest::Pump() {
    for (int turn = 0; turn < 100 && app->GetDispatcher().PumpPending(); ++turn) {
    }
}

platform::window::HeadlessWindow* UiTest::Window() const {
    return backend.window(WindowId());
}

platform::window::WindowId UiTest::WindowId() const {
    return frame.GetWindow() != nullptr ? frame.GetWindow()->id() : 0;
}

uint32_t SurfacePixel(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    uint32_t pixel = 0;
    std::memcpy(&pixel, data + static_cast<std::ptrdiff_t>(y) * stride + x * 4, sizeof pixel);
    if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24) {
        pixel |= 0xFF000000u;
    }
    return pixel;
}

uint32_t UiTest::PresentedPixel(int x, int y) const {
    const auto* window = Window();
    if (window == nullptr || window->lastFrame() == nullptr) {
        ADD_FAILURE() << "nothing presented";
        return 0;
    }
    return SurfacePixel(window->lastFrame(), x, y);
}

RecordingWidget* UiTest::AddChild(SWindowBase* parent, const std::string& name,
                                  const SMargin& margin, const SSize& size, int visible,
                                  int fixed) {
    // Creation hooks are not recorded; tests log what happens afterwards.
    widgets.push_back(std::make_unique<RecordingWidget>());
    RecordingWidget* widget = widgets.back().get();
    widget->Create(name, parent, margin, size, visible, fixed);
    widget->m_log = &log;
    return widget;
}

std::string LogText() {
    base::log::flush();
    std::ifstream file(base::log::currentFile());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int CountInLog(const std::string& text) {
    const std::string log = LogText();
    int count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace ui_test
