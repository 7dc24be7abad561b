#include "platform/window/headless/HeadlessBackend.h"

#include <cstdio>

namespace platform::window {

HeadlessBackend::HeadlessBackend() = default;

HeadlessBackend::~HeadlessBackend() = default;

std::unique_ptr<Window> HeadlessBackend::createWindow(const WindowOptions& options) {
    return std::make_unique<HeadlessWindow>(*this, m_nextId++, options);
}

HeadlessWindow* HeadlessBackend::window(WindowId id) const {
    return static_cast<HeadlessWindow*>(findWindow(id));
}

Rect HeadlessBackend::displayBoundsNear(Point) {
    return m_display;
}

void HeadlessBackend::showMessageBox(Window*, MessageBoxKind kind, const std::string& title,
                                     const std::string& text) {
    m_messageBoxes.push_back(MessageBox{kind, title, text});
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

void HeadlessBackend::queueNative(WindowEvent event) {
    m_native.push_back(std::move(event));
}

void HeadlessBackend::inject(WindowEvent event) {
    queueNative(std::move(event));
}

void HeadlessBackend::trackCursor(WindowId id, int x, int y) {
    if (const HeadlessWindow* w = window(id)) {
        const Rect rect = w->screenRect();
        m_cursor = Point{rect.x + x, rect.y + y};
    }
}

void HeadlessBackend::injectMouseMove(WindowId window, int x, int y, uint32_t modifiers) {
    WindowEvent event;
    event.type = WindowEvent::Type::MouseMove;
    event.window = window;
    event.x = x;
    event.y = y;
    event.modifiers = modifiers;
    inject(std::move(event));
}

void HeadlessBackend::injectButtonDown(WindowId window, int x, int y, MouseButton button,
                                       int clicks, uint32_t modifiers) {
    WindowEvent event;
    event.type = WindowEvent::Type::ButtonDown;
    event.window = window;
    event.x = x;
    event.y = y;
    event.button = button;
    event.clicks = clicks;
    event.modifiers = modifiers;
    inject(std::move(event));
}

void HeadlessBackend::injectButtonUp(WindowId window, int x, int y, MouseButton button,
                                     uint32_t modifiers) {
    WindowEvent event;
    event.type = WindowEvent::Type::ButtonUp;
    event.window = window;
    event.x = x;
    event.y = y;
    event.button = button;
    event.modifiers = modifiers;
    inject(std::move(event));
}

void HeadlessBackend::injectWheel(WindowId window, int x, int y, int delta, uint32_t modifiers) {
    WindowEvent event;
    event.type = WindowEvent::Type::Wheel;
    event.window = window;
    event.x = x;
    event.y = y;
    event.wheelDelta = delta;
    event.modifiers = modifiers;
    inject(std::move(event));
}

void HeadlessBackend::injectMouseLeave(WindowId window) {
    WindowEvent event;
    event.type = WindowEvent::Type::MouseLeave;
    event.window = window;
    inject(std::move(event));
}

void HeadlessBackend::injectKeyDown(WindowId window, int key, uint32_t modifiers, bool repeat) {
    WindowEvent event;
    event.type = WindowEvent::Type::KeyDown;
    event.window = window;
    event.key = key;
    event.modifiers = modifiers;
    event.repeat = repeat;
    event.system = (modifiers & kModAlt) != 0 || key == 121;
    inject(std::move(event));
}

void HeadlessBackend::injectKeyUp(WindowId window, int key, uint32_t modifiers) {
    WindowEvent event;
    event.type = WindowEvent::Type::KeyUp;
    event.window = window;
    event.key = key;
    event.modifiers = modifiers;
    event.system = (modifiers & kModAlt) != 0 || key == 121;
    inject(std::move(event));
}

void HeadlessBackend::injectText(WindowId window, const std::string& text) {
    WindowEvent event;
    event.type = WindowEvent::Type::TextInput;
    event.window = window;
    event.text = text;
    inject(std::move(event));
}

void HeadlessBackend::injectCloseRequest(WindowId window) {
    WindowEvent event;
    event.type = WindowEvent::Type::CloseRequested;
    event.window = window;
    inject(std::move(event));
}

void HeadlessBackend::injectResize(WindowId id, int width, int height) {
    if (HeadlessWindow* w = window(id)) {
        w->resize(width, height);
    }
}

bool HeadlessBackend::handOverToWindowManager(const WindowEvent& event) {
    if (event.type != WindowEvent::Type::ButtonDown || event.button != MouseButton::Left) {
        return false;
    }
    HeadlessWindow* w = window(event.window);
    if (w == nullptr || !w->hitTestEnabled() || !w->isEnabled() || w->listener() == nullptr) {
        return false;
    }
    const Point point{event.x, event.y};
    const HitCode code = w->listener()->onHitTest(point);
    if (code == HitCode::Normal) {
        return false;
    }
    m_systemActions.push_back(SystemAction{event.window, code, point});
    return true;
}

bool HeadlessBackend::pollNative(WindowEvent& event) {
    while (!m_native.empty()) {
        event = std::move(m_native.front());
        m_native.pop_front();
        switch (event.type) {
            case WindowEvent::Type::MouseMove:
            case WindowEvent::Type::ButtonDown:
            case WindowEvent::Type::ButtonUp:
            case WindowEvent::Type::Wheel:
                trackCursor(event.window, event.x, event.y);
                break;
            default:
                break;
        }
        if (!handOverToWindowManager(event)) {
            return true;
        }
    }
    return false;
}

void HeadlessBackend::waitNative(std::chrono::milliseconds timeout) {
    if (!m_native.empty()) {
        return;
    }
    m_queue.waitNonEmpty(timeout);
}

}  // namespace platform::window
