#pragma once

#include <string>

namespace platform::window {

// What the SDL backend asks the X server directly, over a short connection of its own (SDL does
// not hand out its display before a window exists). Kept apart from the rest of the backend
// because Xlib's headers define macros (None, Bool, Status) that clash with ordinary names.
// Each answers "nothing" without an X display.
namespace x11_desktop {

// The resource database as text (the root window's RESOURCE_MANAGER property, where desktops
// keep settings such as "Xft.dpi").
std::string readResources();
// Whether a compositing manager runs on the default screen (it owns _NET_WM_CM_S<screen>).
bool hasCompositor();
// The id of a 32-bit TrueColor visual (with alpha), as text for SDL's visual hint; empty when
// the server has none.
std::string argbVisualId();

}  // namespace x11_desktop

}  // namespace platform::window
