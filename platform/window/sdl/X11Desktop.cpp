#include "platform/window/sdl/X11Desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace platform::window::x11_desktop {

namespace {

struct DisplayCloser {
    void operator()(::Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<::Display, DisplayCloser>;

DisplayPtr openDisplay() {
    return DisplayPtr(XOpenDisplay(nullptr));
}

}  // namespace

std::string readResources() {
    DisplayPtr display = openDisplay();
    if (!display) {
        return {};
    }
    const char* resources = XResourceManagerString(display.get());
    return resources != nullptr ? resources : "";
}

bool hasCompositor() {
    DisplayPtr display = openDisplay();
    if (!display) {
        return false;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display.get()));
    const Atom selection = XInternAtom(display.get(), name.c_str(), False);
    return XGetSelectionOwner(display.get(), selection) != 0;
}

std::string argbVisualId() {
    DisplayPtr display = openDisplay();
    if (!display) {
        return {};
    }
    XVisualInfo info{};
    if (XMatchVisualInfo(display.get(), DefaultScreen(display.get()), 32, TrueColor, &info) == 0) {
        return {};
    }
    return std::to_string(info.visualid);
}

}  // namespace platform::window::x11_desktop
