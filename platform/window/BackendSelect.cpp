#include <cstdlib>
#include <string>

#include "base/Log.h"
#include "platform/window/Backend.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "platform/window/sdl/SdlBackend.h"

namespace platform::window {

std::unique_ptr<Backend> createBackend(const std::string& fallback) {
    const char* chosen = std::getenv("AURALIS_WINDOW_BACKEND");
    const std::string kind = chosen != nullptr && *chosen != '\0' ? chosen : fallback;
    if (kind == "headless") {
        return std::make_unique<HeadlessBackend>();
    }
    if (kind != "sdl") {
        _Log(LOG_WARNING, "platform::window::createBackend", __LINE__,
             "unknown window backend \"%s\" (expected sdl or headless)", kind.c_str());
        return nullptr;
    }
    return SdlBackend::create();
}

}  // namespace platform::window
