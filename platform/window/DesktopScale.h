#pragma once

#include <string>

namespace platform::window {

// Reading the desktop's own scale setting from the places desktops keep it. Each returns 0
// when the setting is absent or unusable; otherwise a factor (1 = 96 dots per inch).
namespace desktop_scale {

// GDK_SCALE: a whole number (2 on a doubled desktop).
double fromGdkScale(const char* value);
// The X resource database's text (the root window's RESOURCE_MANAGER property), where
// "Xft.dpi:\t144" means a factor of 1.5.
double fromXResources(const std::string& resources);
// A Wayland output reports its full pixel width and the logical width windows are laid out in.
double fromOutputWidths(int pixelWidth, int logicalWidth);

}  // namespace desktop_scale

}  // namespace platform::window
