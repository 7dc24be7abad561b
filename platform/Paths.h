#pragma once

#include "base/Paths.h"

// Where the program's files go, as the layers above the platform core name it: the same
// functions as base/Paths.h, which the log below the platform finds them in.
namespace platform::paths {

using base::paths::ensurePrivateFolder;
using base::paths::executableFolder;
using base::paths::executablePath;
using base::paths::logFolder;
using base::paths::tempFolder;
using base::paths::userFolder;
using base::paths::xdgCacheHome;
using base::paths::xdgConfigHome;
using base::paths::xdgRuntimeDir;
using base::paths::xdgStateHome;

}  // namespace platform::paths
