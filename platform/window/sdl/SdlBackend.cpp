#include "platform/window/sdl/SdlBackend.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <cstring>

#include "base/Log.h"
#include "platform/window/DesktopScale.h"
#include "platform/window/Keys.h"
#include "platform/window/sdl/SdlWindow.h"
#include "platform/window/sdl/WaylandPopup.h"
#include "platform/window/sdl/WaylandShell.h"
#include "platform/window/sdl/X11Desktop.h"

namespace platform::window {

namespace {

uint32_t currentModifiers() {
    uint32_t modifiers = kModNone;
    const SDL_Keymod keys = SDL_GetModState();
    if ((keys & KMOD_SHIFT) != 0) {
        modifiers |= kModShift;
    }
    if ((keys & KMOD_CTRL) != 0) {
        modifiers |= kModControl;
    }
    if ((keys & KMOD_ALT) != 0) {
        modifiers |= kModAlt;
    }
    const uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    if ((buttons & SDL_BUTTON_LMASK) != 0) {
        modifiers |= kModLeftButton;
    }
    if ((buttons & SDL_BUTTON_RMASK) != 0) {
        modifiers |= kModRightButton;
    }
    if ((buttons & SDL_BUTTON_MMASK) != 0) {
        modifiers |= kModMiddleButton;
    }
    return modifiers;
}

MouseButton toButton(uint8_t button) {
    switch (button) {
        case SDL_BUTTON_LEFT:
            return MouseButton::Left;
        case SDL_BUTTON_RIGHT:
            return MouseButton::Right;
        case SDL_BUTTON_MIDDLE:
            return MouseButton::Middle;
        default:
            return MouseButton::None;
    }
}

int toKey(SDL_Keycode code) {
    if (code >= SDLK_a && code <= SDLK_z) {
        return keys::kA + (code - SDLK_a);
    }
    if (code >= SDLK_0 && code <= SDLK_9) {
        return keys::k0 + (code - SDLK_0);
    }
    if (code >= SDLK_F1 && code <= SDLK_F12) {
        return keys::kF1 + (code - SDLK_F1);
    }
    switch (code) {
        case SDLK_BACKSPACE:
            return keys::kBackspace;
        case SDLK_TAB:
            return keys::kTab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return keys::kReturn;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return keys::kShift;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return keys::kControl;
        case SDLK_LALT:
        case SDLK_RALT:
            return keys::kAlt;
        case SDLK_PAUSE:
            return keys::kPause;
        case SDLK_CAPSLOCK:
            return keys::kCapsLock;
        case SDLK_ESCAPE:
            return keys::kEscape;
        case SDLK_SPACE:
            return keys::kSpace;
        case SDLK_PAGEUP:
            return keys::kPageUp;
        case SDLK_PAGEDOWN:
            return keys::kPageDown;
        case SDLK_END:
            return keys::kEnd;
        case SDLK_HOME:
            return keys::kHome;
        case SDLK_LEFT:
            return keys::kLeft;
        case SDLK_UP:
            return keys::kUp;
        case SDLK_RIGHT:
            return keys::kRight;
        case SDLK_DOWN:
            return keys::kDown;
        case SDLK_INSERT:
            return keys::kInsert;
        case SDLK_DELETE:
            return keys::kDelete;
        default:
            return keys::kUnknown;
    }
}

uint32_t toSdlFlags(uint32_t style) {
    // High density: on a scaled Wayland output SDL gives the window that many pixels per unit.
    uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    // SDL's own Wayland popups are unusable (see WaylandShell): such windows are ordinary ones
    // there when the backend cannot map them itself.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "wayland") == 0) {
        style &= ~(kStylePopupMenu | kStyleTooltip);
    }
    if ((style & kStyleBorderless) != 0) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if ((style & kStyleResizable) != 0) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    if ((style & kStyleSkipTaskbar) != 0) {
        flags |= SDL_WINDOW_SKIP_TASKBAR;
    }
    if ((style & kStyleAlwaysOnTop) != 0) {
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    }
    if ((style & kStyleTooltip) != 0) {
        flags |= SDL_WINDOW_TOOLTIP;
    }
    if ((style & kStylePopupMenu) != 0) {
        flags |= SDL_WINDOW_POPUP_MENU;
    }
    if ((style & kStyleUtility) != 0) {
        flags |= SDL_WINDOW_UTILITY;
    }
    return flags;
}

SDL_SystemCursor toSdlCursor(Cursor cursor) {
    switch (cursor) {
        case Cursor::Arrow:
            return SDL_SYSTEM_CURSOR_ARROW;
        case Cursor::IBeam:
            return SDL_SYSTEM_CURSOR_IBEAM;
        case Cursor::Wait:
            return SDL_SYSTEM_CURSOR_WAIT;
        case Cursor::Crosshair:
            return SDL_SYSTEM_CURSOR_CROSSHAIR;
        case Cursor::Hand:
            return SDL_SYSTEM_CURSOR_HAND;
        case Cursor::SizeNWSE:
            return SDL_SYSTEM_CURSOR_SIZENWSE;
        case Cursor::SizeNESW:
            return SDL_SYSTEM_CURSOR_SIZENESW;
        case Cursor::SizeWE:
            return SDL_SYSTEM_CURSOR_SIZEWE;
        case Cursor::SizeNS:
            return SDL_SYSTEM_CURSOR_SIZENS;
        case Cursor::SizeAll:
            return SDL_SYSTEM_CURSOR_SIZEALL;
        case Cursor::No:
            return SDL_SYSTEM_CURSOR_NO;
    }
    return SDL_SYSTEM_CURSOR_ARROW;
}

long long squaredDistance(const SDL_Rect& rect, Point p) {
    const long long dx =
        p.x < rect.x ? rect.x - p.x : (p.x >= rect.x + rect.w ? p.x - (rect.x + rect.w - 1) : 0);
    const long long dy =
        p.y < rect.y ? rect.y - p.y : (p.y >= rect.y + rect.h ? p.y - (rect.y + rect.h - 1) : 0);
    return dx * dx + dy * dy;
}

// Windows that open over another of ours: menus, tooltips and dialogs (which stay out of the task
// bar). On Wayland they are popups of that window, placed where the program puts them.
constexpr uint32_t kWaylandPopupStyles = kStylePopupMenu | kStyleTooltip | kStyleSkipTaskbar;

bool onWayland() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "wayland") == 0;
}

bool onX11() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "x11") == 0;
}

// SDL's drivers that show nothing: taken only when the environment names them
// (SDL_VIDEODRIVER), never as the fallback of a start without a display.
bool drawsNowhere(const char* driver) {
    return driver == nullptr || std::strcmp(driver, "offscreen") == 0 ||
           std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "evdev") == 0;
}

bool chosenByEnvironment(const char* driver) {
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    return driver != nullptr && asked != nullptr && std::strstr(asked, driver) != nullptr;
}

// SDL lists a Wayland output's full-resolution mode first and gives the desktop mode in the
// logical size windows are laid out in; a whole-number ratio is the output's scale. Fractional
// ones are left to the compositor.
int outputPixelRatio() {
    if (!onWayland()) {
        return 1;
    }
    SDL_DisplayMode native{};
    SDL_DisplayMode desktop{};
    if (SDL_GetDisplayMode(0, 0, &native) != 0 || SDL_GetDesktopDisplayMode(0, &desktop) != 0 ||
        desktop.w <= 0 || native.w % desktop.w != 0) {
        return 1;
    }
    return std::clamp(native.w / desktop.w, 1, 4);
}

}  // namespace

std::unique_ptr<SdlBackend> SdlBackend::create() {
    // A click that activates a window is also a click on it, as on other desktops.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Closing a dialog must not end the program; the application decides when to quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // The window class (X11) and app id (Wayland) name the desktop entry, so the desktop shows
    // the entry's icon and name for the window; read when the video subsystem starts.
    setenv("SDL_VIDEO_X11_WMCLASS", "com.auralis.AuralisManager", 0);
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", "com.auralis.AuralisManager", 0);
    SDL_SetHint(SDL_HINT_APP_NAME, "Auralis Manager");
    // Translucent windows on Wayland need a drawing surface that keeps its alpha.
    SDL_SetHint(SDL_HINT_VIDEO_EGL_ALLOW_TRANSPARENCY, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        _Log(LOG_WARNING, "SdlBackend::create", __LINE__, "SDL video cannot start: %s",
             SDL_GetError());
        return nullptr;
    }
    // Without a display SDL may settle on a driver that shows nothing: the program would run
    // unseen and hold the single-instance lock against every later start on the desktop.
    if (const char* video = SDL_GetCurrentVideoDriver();
        drawsNowhere(video) && !chosenByEnvironment(video)) {
        _Log(LOG_WARNING, "SdlBackend::create", __LINE__,
             "no display: SDL offers only its \"%s\" driver, which shows nothing",
             video != nullptr ? video : "(none)");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    // Windows show pictures drawn by cairo: on X11 the plain window surface (shared memory)
    // does that without loading an OpenGL driver, which would hold some 60 MB of memory and
    // keep a renderer busy for nothing. Wayland has no such surface: SDL draws it through a
    // renderer there, so the hint must stay unset. SDL reads it at the first window surface.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || SDL_strcmp(driver, "wayland") != 0) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    const uint32_t wakeType = SDL_RegisterEvents(1);
    if (wakeType == static_cast<uint32_t>(-1)) {
        _Log(LOG_WARNING, "SdlBackend::create", __LINE__, "no SDL user event left");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    _Log(LOG_INFO, "SdlBackend::create", __LINE__, "SDL video driver %s",
         SDL_GetCurrentVideoDriver());
    std::unique_ptr<SdlBackend> backend(new SdlBackend(wakeType));
    backend->m_pixelRatio = outputPixelRatio();
    if (backend->m_pixelRatio > 1) {
        _Log(LOG_INFO, "SdlBackend::create", __LINE__,
             "the output has %d pixels per unit: windows are drawn at that density",
             backend->m_pixelRatio);
    }
    return backend;
}

int SdlBackend::toUnits(int pixels) const {
    const int quotient = pixels / m_pixelRatio;
    return quotient * m_pixelRatio > pixels ? quotient - 1 : quotient;
}

int SdlBackend::toUnitsCeil(int pixels) const {
    return -toUnits(-pixels);
}

SdlBackend::SdlBackend(uint32_t wakeEventType) : m_wakeEventType(wakeEventType) {}

SdlBackend::~SdlBackend() {
    m_queue.clear();
    m_wayland.reset();
    for (SDL_Cursor*& cursor : m_cursors) {
        if (cursor != nullptr) {
            SDL_FreeCursor(cursor);
            cursor = nullptr;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::unique_ptr<Window> SdlBackend::createWindow(const WindowOptions& options) {
    int x = options.rect.x;
    int y = options.rect.y;
    if (options.centered) {
        // Centred in the work area (without panels and docks), never starting above or left
        // of it: a window taller than the work area keeps its title bar on the screen.
        const Rect area = displayBoundsNear(Point{0, 0});
        x = area.x + std::max(0, (area.width - options.rect.width) / 2);
        y = area.y + std::max(0, (area.height - options.rect.height) / 2);
    }
    if (onWayland() && (options.style & kWaylandPopupStyles) != 0) {
        if (std::unique_ptr<Window> window = createWaylandPopup(options)) {
            return window;
        }
    }
    // The window type is read when SDL makes the X window: set for this window only.
    const bool x11Dialog = onX11() && (options.style & kStyleDialog) != 0;
    if (x11Dialog) {
        SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE_DIALOG");
    }
    std::unique_ptr<SdlWindow> window = createDesktopWindow(options, x, y);
    if (x11Dialog) {
        SDL_ResetHint(SDL_HINT_X11_WINDOW_TYPE);
    }
    if (window == nullptr) {
        return nullptr;
    }
    if (x11Dialog) {
        // Transient for its owner: kept over it, placed by it, and not listed as a program of
        // its own in the window list and task switcher.
        if (options.owner != nullptr) {
            if (SDL_SetWindowModalFor(window->native(),
                                      static_cast<SdlWindow*>(options.owner)->native()) != 0) {
                _Log(LOG_INFO, "SdlBackend::createWindow", __LINE__,
                     "\"%s\" cannot be made transient for its owner: %s", options.title.c_str(),
                     SDL_GetError());
            }
        }
    }
    return window;
}

std::unique_ptr<SdlWindow> SdlBackend::createDesktopWindow(const WindowOptions& options, int x,
                                                           int y) {
    if ((options.style & kStyleTranslucent) != 0) {
        if (std::unique_ptr<SdlWindow> window = createTranslucentWindow(options, x, y)) {
            return window;
        }
    }
    SDL_Window* window = SDL_CreateWindow(
        options.title.c_str(), toUnits(x), toUnits(y), toUnitsCeil(options.rect.width),
        toUnitsCeil(options.rect.height), toSdlFlags(options.style));
    if (window == nullptr) {
        _Log(LOG_WARNING, "SdlBackend::createWindow", __LINE__, "SDL_CreateWindow failed: %s",
             SDL_GetError());
        return nullptr;
    }
    return std::make_unique<SdlWindow>(*this, window, Transparency::None);
}

std::unique_ptr<Window> SdlBackend::createWaylandPopup(const WindowOptions& options) {
    // Without SDL's popup flags: SDL would map the window itself, and wrongly (see
    // WaylandShell). The window is never shown through SDL.
    const uint32_t flags = toSdlFlags(options.style & ~(kStylePopupMenu | kStyleTooltip));
    SDL_Window* window =
        SDL_CreateWindow(options.title.c_str(), toUnits(options.rect.x), toUnits(options.rect.y),
                         toUnitsCeil(options.rect.width), toUnitsCeil(options.rect.height), flags);
    if (window == nullptr) {
        return nullptr;
    }
    const WaylandShell::Handles handles = WaylandShell::handlesOf(window);
    if (m_wayland == nullptr) {
        m_wayland = WaylandShell::connect(handles.display);
    }
    if (m_wayland == nullptr || handles.surface == nullptr) {
        _Log(LOG_WARNING, "SdlBackend::createWindow", __LINE__,
             "no xdg shell for \"%s\": it opens as a window of its own", options.title.c_str());
        SDL_DestroyWindow(window);
        return nullptr;
    }
    // Dialogs take the keys their parent receives; menus leave them to the parent, and
    // tooltips have no use for them.
    const bool takesKeys = (options.style & (kStylePopupMenu | kStyleTooltip)) == 0;
    return std::make_unique<SdlWindow>(
        *this, window, std::make_unique<WaylandPopup>(*m_wayland, handles.surface, m_pixelRatio),
        options.rect, takesKeys);
}

WindowId SdlBackend::keyTarget(WindowId focused) {
    // A dialog opened as a Wayland popup never gets the keyboard focus: the keys reach the
    // window it opened on, and are the last such dialog's.
    WindowId target = focused;
    for (WindowId popup : m_keyedPopups) {
        auto* window = static_cast<SdlWindow*>(findWindow(popup));
        if (window != nullptr && window->takesParentKeys() &&
            SDL_GetWindowID(window->popupParent()) == focused) {
            target = popup;
        }
    }
    return target;
}

void SdlBackend::popupMapped(WindowId popup, bool mapped) {
    std::erase(m_keyedPopups, popup);
    if (mapped) {
        m_keyedPopups.push_back(popup);
    }
}

SDL_Window* SdlBackend::popupParentFor(const SdlWindow* popup) {
    for (SDL_Window* candidate : {SDL_GetKeyboardFocus(), SDL_GetMouseFocus()}) {
        if (candidate == nullptr || candidate == popup->native()) {
            continue;
        }
        auto* window = static_cast<SdlWindow*>(findWindow(SDL_GetWindowID(candidate)));
        if (window == nullptr) {
            continue;
        }
        if (!window->isWaylandPopup()) {
            return candidate;
        }
        if (window->isVisible() && window->popupParent() != nullptr) {
            return window->popupParent();
        }
    }
    return nullptr;
}

std::unique_ptr<SdlWindow> SdlBackend::createTranslucentWindow(const WindowOptions& options, int x,
                                                               int y) {
    const char* driver = SDL_GetCurrentVideoDriver();
    const uint32_t flags = toSdlFlags(options.style);
    if (driver != nullptr && std::strcmp(driver, "wayland") == 0) {
        // Wayland compositors always blend; the window's alpha reaches them through a renderer
        // whose surface keeps alpha (SDL_VIDEO_EGL_ALLOW_TRANSPARENCY, set at start-up).
        SDL_Window* window = SDL_CreateWindow(options.title.c_str(), toUnits(x), toUnits(y),
                                              toUnitsCeil(options.rect.width),
                                              toUnitsCeil(options.rect.height), flags);
        return window != nullptr
                   ? std::make_unique<SdlWindow>(*this, window, Transparency::PerPixel)
                   : nullptr;
    }
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) {
        return nullptr;
    }
    if (x11_desktop::hasCompositor()) {
        if (m_argbVisual.empty()) {
            m_argbVisual = x11_desktop::argbVisualId();
        }
        if (!m_argbVisual.empty()) {
            // The visual hint applies to windows created while it is set: only this one.
            SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, m_argbVisual.c_str());
            SDL_Window* window = SDL_CreateWindow(options.title.c_str(), x, y, options.rect.width,
                                                  options.rect.height, flags);
            SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, "");
            if (window != nullptr) {
                _Log(LOG_INFO, "SdlBackend::createWindow", __LINE__,
                     "\"%s\" has per-pixel transparency (visual %s)", options.title.c_str(),
                     m_argbVisual.c_str());
                return std::make_unique<SdlWindow>(*this, window, Transparency::PerPixel);
            }
        }
    }
    // No compositor: the window takes the shape of its picture instead.
    SDL_Window* shaped = SDL_CreateShapedWindow(options.title.c_str(), x, y, options.rect.width,
                                                options.rect.height, flags);
    if (shaped == nullptr) {
        _Log(LOG_INFO, "SdlBackend::createWindow", __LINE__,
             "no shaped window (%s): corners are painted over black", SDL_GetError());
        return nullptr;
    }
    _Log(LOG_INFO, "SdlBackend::createWindow", __LINE__,
         "no compositor: \"%s\" takes the shape of its picture", options.title.c_str());
    auto window = std::make_unique<SdlWindow>(*this, shaped, Transparency::Shape);
    // SDL keeps a shaped window off the screen until its first shape; give it a whole one at
    // once so moves before the first picture are not undone by it.
    window->setWholeShape();
    SDL_SetWindowPosition(shaped, x, y);
    return window;
}

double SdlBackend::screenDpi() {
    float horizontal = 0;
    if (SDL_GetDisplayDPI(0, nullptr, &horizontal, nullptr) != 0 || !(horizontal > 0)) {
        return 96.0;
    }
    return horizontal;
}

double SdlBackend::desktopScale() {
    if (const double scale = desktop_scale::fromGdkScale(std::getenv("GDK_SCALE")); scale > 0) {
        return scale;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
        return desktop_scale::fromXResources(x11_desktop::readResources());
    }
    if (driver != nullptr && std::strcmp(driver, "wayland") == 0) {
        // SDL lists the output's full-resolution mode first and gives the desktop mode in the
        // logical size windows are laid out in.
        SDL_DisplayMode native{};
        SDL_DisplayMode desktop{};
        if (SDL_GetDisplayMode(0, 0, &native) == 0 && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            return desktop_scale::fromOutputWidths(native.w, desktop.w);
        }
    }
    return 0;
}

Point SdlBackend::cursorPosition() {
    // SDL's global pointer state is refreshed only by raw input events, which not every X
    // server sends (Xvfb with synthetic input does not); the position our windows last reported
    // is exact whenever the pointer is over one of them.
    if (m_cursorSeen) {
        return m_cursor;
    }
    Point point;
    SDL_GetGlobalMouseState(&point.x, &point.y);
    return Point{toPixels(point.x), toPixels(point.y)};
}

void SdlBackend::trackCursor(uint32_t windowId, int x, int y) {
    // The window's own idea of its place: SDL does not know where a Wayland popup is.
    const WindowBase* window = findWindow(windowId);
    if (window == nullptr) {
        return;
    }
    const Rect place = window->screenRect();
    m_cursor = Point{place.x + x, place.y + y};
    m_cursorSeen = true;
}

Rect SdlBackend::displayBoundsNear(Point point) {
    SDL_Rect best{0, 0, 1024, 768};
    long long bestDistance = -1;
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayUsableBounds(i, &bounds) != 0) {
            continue;
        }
        bounds = SDL_Rect{toPixels(bounds.x), toPixels(bounds.y), toPixels(bounds.w),
                          toPixels(bounds.h)};
        const long long distance = squaredDistance(bounds, point);
        if (bestDistance < 0 || distance < bestDistance) {
            best = bounds;
            bestDistance = distance;
        }
    }
    return Rect{best.x, best.y, best.w, best.h};
}

void SdlBackend::showMessageBox(Window* owner, MessageBoxKind kind, const std::string& title,
                                const std::string& text) {
    const uint32_t flags = kind == MessageBoxKind::Error     ? SDL_MESSAGEBOX_ERROR
                           : kind == MessageBoxKind::Warning ? SDL_MESSAGEBOX_WARNING
                                                             : SDL_MESSAGEBOX_INFORMATION;
    SDL_Window* parent = owner != nullptr ? static_cast<SdlWindow*>(owner)->native() : nullptr;
    if (SDL_ShowSimpleMessageBox(flags, title.c_str(), text.c_str(), parent) != 0) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
}

SDL_Cursor* SdlBackend::systemCursor(Cursor cursor) {
    const auto index = static_cast<std::size_t>(cursor);
    if (index >= m_cursors.size()) {
        return nullptr;
    }
    if (m_cursors[index] == nullptr) {
        m_cursors[index] = SDL_CreateSystemCursor(toSdlCursor(cursor));
    }
    return m_cursors[index];
}

void SdlBackend::wakeNative() {
    // One wake-up event in SDL's queue is enough however many posts arrive before the loop
    // runs; the flag is cleared when the UI thread takes the event, before it reads the queue.
    if (m_wakePending.exchange(true)) {
        return;
    }
    SDL_Event event{};
    event.type = m_wakeEventType;
    if (SDL_PushEvent(&event) < 0) {
        m_wakePending = false;
    }
}

bool SdlBackend::pollNative(WindowEvent& event) {
    if (!m_pending.empty()) {
        event = std::move(m_pending.front());
        m_pending.pop_front();
        return true;
    }
    SDL_Event native;
    while (SDL_PollEvent(&native) == 1) {
        if (translate(native, event)) {
            return true;
        }
    }
    return false;
}

void SdlBackend::waitNative(std::chrono::milliseconds timeout) {
    const int ms = timeout.count() < 0         ? -1
                   : timeout.count() > INT_MAX ? INT_MAX
                                               : static_cast<int>(timeout.count());
    SDL_Event native;
    if (SDL_WaitEventTimeout(&native, ms) == 1) {
        WindowEvent event;
        if (translate(native, event)) {
            m_pending.push_back(std::move(event));
        }
    }
}

bool SdlBackend::translateWindowEvent(const SDL_WindowEvent& native, WindowEvent& event) {
    using T = WindowEvent::Type;
    switch (native.event) {
        case SDL_WINDOWEVENT_SHOWN:
            event.type = T::Shown;
            return true;
        case SDL_WINDOWEVENT_HIDDEN:
            event.type = T::Hidden;
            return true;
        case SDL_WINDOWEVENT_EXPOSED:
            event.type = T::Exposed;
            return true;
        case SDL_WINDOWEVENT_MOVED:
            event.type = T::Moved;
            event.x = toPixels(native.data1);
            event.y = toPixels(native.data2);
            return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            event.type = T::Resized;
            event.width = toPixels(native.data1);
            event.height = toPixels(native.data2);
            return true;
        case SDL_WINDOWEVENT_LEAVE:
            event.type = T::MouseLeave;
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            event.type = T::FocusGained;
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            event.type = T::FocusLost;
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            event.type = T::CloseRequested;
            return true;
        default:
            return false;
    }
}

bool SdlBackend::translate(const SDL_Event& native, WindowEvent& event) {
    using T = WindowEvent::Type;
    event = WindowEvent{};
    if (native.type == m_wakeEventType) {
        m_wakePending = false;
        return false;
    }
    switch (native.type) {
        case SDL_QUIT:
            event.type = T::Quit;
            return true;
        case SDL_WINDOWEVENT:
            event.window = native.window.windowID;
            return translateWindowEvent(native.window, event);
        case SDL_MOUSEMOTION:
            event.type = T::MouseMove;
            event.window = native.motion.windowID;
            event.x = toPixels(native.motion.x);
            event.y = toPixels(native.motion.y);
            event.modifiers = currentModifiers();
            trackCursor(native.motion.windowID, event.x, event.y);
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            event.type = native.type == SDL_MOUSEBUTTONDOWN ? T::ButtonDown : T::ButtonUp;
            event.window = native.button.windowID;
            event.x = toPixels(native.button.x);
            event.y = toPixels(native.button.y);
            event.button = toButton(native.button.button);
            event.clicks = native.button.clicks;
            event.modifiers = currentModifiers();
            trackCursor(native.button.windowID, event.x, event.y);
            return event.button != MouseButton::None;
        case SDL_MOUSEWHEEL: {
            float notches = native.wheel.preciseY;
            if (native.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
                notches = -notches;
            }
            event.type = T::Wheel;
            event.window = native.wheel.windowID;
            event.x = toPixels(native.wheel.mouseX);
            event.y = toPixels(native.wheel.mouseY);
            event.wheelDelta = static_cast<int>(std::lround(notches * 120.0f));
            event.modifiers = currentModifiers();
            return event.wheelDelta != 0;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            event.type = native.type == SDL_KEYDOWN ? T::KeyDown : T::KeyUp;
            event.window = keyTarget(native.key.windowID);
            event.key = toKey(native.key.keysym.sym);
            event.modifiers = currentModifiers();
            event.repeat = native.key.repeat != 0;
            event.system = (native.key.keysym.mod & KMOD_ALT) != 0 || event.key == keys::kF10;
            return true;
        case SDL_TEXTINPUT:
            event.type = T::TextInput;
            event.window = keyTarget(native.text.windowID);
            event.text = native.text.text;
            return true;
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPCOMPLETE: {
            event.type = native.type == SDL_DROPBEGIN  ? T::DropBegin
                         : native.type == SDL_DROPFILE ? T::DropFile
                                                       : T::DropComplete;
            event.window = native.drop.windowID;
            if (native.drop.file != nullptr) {
                event.text = native.drop.file;
                SDL_free(native.drop.file);
            }
            SDL_GetMouseState(&event.x, &event.y);
            event.x = toPixels(event.x);
            event.y = toPixels(event.y);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace platform::window
