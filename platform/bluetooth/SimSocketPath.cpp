#include "platform/bluetooth/SimSocketPath.h"

#include <cstdlib>

#include "platform/Paths.h"

namespace platform::bluetooth {

std::filesystem::path defaultSimSocketPath() {
    if (const char* path = std::getenv("AURALIS_SIM_SOCKET"); path != nullptr && *path != '\0') {
        return path;
    }
    const std::filesystem::path runtime = paths::xdgRuntimeDir();
    if (!runtime.empty()) {
        return runtime / "auralis-sim.sock";
    }
    return paths::tempFolder() / "auralis-sim.sock";
}

}  // namespace platform::bluetooth
