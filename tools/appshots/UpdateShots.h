#pragma once

#include <filesystem>

namespace platform {
class ManualTickSource;
}
namespace platform::window {
class HeadlessBackend;
}
class SGUIApp;

// Renders the main window with its menu open, the about dialog, the licence page and the
// dialogs of the application update check into `folder` at the process zoom factor (names end
// in "-z<zoom>.png"). Returns the number of pictures that could not be written.
int RenderUpdateShots(platform::window::HeadlessBackend& backend, SGUIApp& app,
                      platform::ManualTickSource& clock, const std::filesystem::path& folder);
