#include "base/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace base::paths {
namespace {

namespace fs = std::filesystem;

fs::path absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    return fs::path(value);
}

// The home folder from the password database, for a session started without $HOME.
fs::path passwdHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return {};
    }
    return fs::path(found->pw_dir);
}

fs::path xdgOr(const char* name, const char* homeRelative) {
    fs::path value = absoluteEnv(name);
    if (!value.empty()) {
        return value;
    }
    // Never a shared folder such as /tmp: $HOME, else the password database's home, else the
    // per-user runtime folder, else nothing (the caller then refuses to store anything).
    fs::path home = absoluteEnv("HOME");
    if (home.empty()) {
        home = passwdHome();
    }
    if (!home.empty()) {
        return home / homeRelative;
    }
    const fs::path runtime = absoluteEnv("XDG_RUNTIME_DIR");
    return runtime.empty() ? fs::path() : runtime / "AuralisManager-home" / homeRelative;
}

// `base / tail`, or empty when there is no base.
fs::path below(const fs::path& base, const fs::path& tail) {
    return base.empty() ? fs::path() : base / tail;
}

// Our own folder, and only we may write to it: a folder of ours that others may write to is made
// private; a folder of someone else is refused.
bool isOrIsMadePrivate(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    // Someone else's folder, or a shared one such as /tmp (sticky), is never ours to use.
    if (info.st_uid != ::geteuid() || (info.st_mode & S_ISVTX) != 0) {
        return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return ::chmod(folder.c_str(), 0700) == 0;
    }
    return true;
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
    return override.empty() ? below(xdgConfigHome(), "AuralisManager") : override;
}

fs::path tempFolder() {
    fs::path override = absoluteEnv("AURALIS_TEMP_DIR");
    return override.empty() ? below(xdgCacheHome(), "AuralisManager/tmp") : override;
}

fs::path logFolder() {
    fs::path override = absoluteEnv("AURALIS_LOG_DIR");
    return override.empty() ? below(xdgStateHome(), "AuralisManager/log") : override;
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
    return isOrIsMadePrivate(folder);
}

}  // namespace base::paths
