#pragma once

#include <filesystem>

namespace base::paths {

// The running program's own file and folder (from /proc/self/exe).
std::filesystem::path executablePath();
std::filesystem::path executableFolder();

// XDG base folders, with the XDG Base Directory fallbacks under the home folder when a variable is
// unset or not absolute. The home folder is $HOME, else the password database's entry of this
// user, else a folder below $XDG_RUNTIME_DIR; with none of them the result is empty.
std::filesystem::path xdgConfigHome();
std::filesystem::path xdgCacheHome();
std::filesystem::path xdgStateHome();
// $XDG_RUNTIME_DIR; empty when unset or not absolute.
std::filesystem::path xdgRuntimeDir();

// The program's own folders. Each can be overridden by an environment variable so that every
// test runs in a sandbox:
//   user folder       $AURALIS_CONFIG_DIR or $XDG_CONFIG_HOME/AuralisManager
//   temporary folder  $AURALIS_TEMP_DIR   or $XDG_CACHE_HOME/AuralisManager/tmp
//   log folder        $AURALIS_LOG_DIR    or $XDG_STATE_HOME/AuralisManager/log
// They are not created here; see ensurePrivateFolder. Empty when there is no home folder (see
// above): nothing is then stored, rather than stored in a shared folder.
std::filesystem::path userFolder();
std::filesystem::path tempFolder();
std::filesystem::path logFolder();

// Creates the folder and its missing parents; the folder itself gets mode 0700. An existing folder
// must belong to this user; when others may write to it, it is made 0700. Returns false when it
// cannot be created, is not a folder, belongs to someone else or cannot be made private.
bool ensurePrivateFolder(const std::filesystem::path& folder);

}  // namespace base::paths
