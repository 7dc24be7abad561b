#include "platform/Paths.h"

#include <sys/stat.h>

#include <cerrno>

#include <cstdlib>
#include <system_error>

namespace platform::paths {
namespace {

namespace fs = std::filesystem;

fs::path absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    return fs::path(value);
}

fs::path homeFolder() {
    fs::path home = absoluteEnv("HOME");
    return home.empty() ? fs::path("/tmp") : home;
}

fs::path xdgOr(const char* name, const char* homeRelative) {
    fs::path value = absoluteEnv(name);
    return value.empty() ? homeFolder() / homeRelative : value;
}

}  // namespace

fs::path executablePath() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

fs::path executableFolder() {
    return executablePath().parent_path();
}

fs::path xdgConfigHome() {
    return xdgOr("XDG_CONFIG_HOME", ".config");
}
fs::path xdgCacheHome() {
    return xdgOr("XDG_CACHE_HOME", ".cache");
}
fs::path xdgStateHome() {
    return xdgOr("XDG_STATE_HOME", ".local/state");
}
fs::path xdgRuntimeDir() {
    return absoluteEnv("XDG_RUNTIME_DIR");
}

fs::path userFolder() {
    fs::path override = absoluteEnv("AURALIS_CONFIG_DIR");
    return override.empty() ? xdgConfigHome() / "AuralisManager" : override;
}

fs::path tempFolder() {
    fs::path override = absoluteEnv("AURALIS_TEMP_DIR");
    return override.empty() ? xdgCacheHome() / "AuralisManager" / "tmp" : override;
}

fs::path logFolder() {
    fs::path override = absoluteEnv("AURALIS_LOG_DIR");
    return override.empty() ? xdgStateHome() / "AuralisManager" / "log" : override;
}

bool ensurePrivateFolder(const fs::path& given) {
    // "a/b/" names the folder b: without this its parent would be taken to be "a/b" and b
    // created with the default mode.
    fs::path folder = given.lexically_normal();
    if (!folder.has_filename()) {
        folder = folder.parent_path();
    }
    if (folder.empty()) {
        return false;
    }
    std::error_code error;
    if (!fs::exists(folder, error)) {
        fs::create_directories(folder.parent_path(), error);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    if (!fs::is_directory(folder, error)) {
        return false;
    }
    return true;
}

}  // namespace platform::paths
