#pragma once

#include <string>
#include <vector>

namespace platform::process {

// Starts a program and does not wait for it. A path without '/' is looked up in $PATH. The
// child is fully detached (it is not our child for long enough to become a zombie) and does
// not inherit our descriptors beyond stdin/stdout/stderr.
// Fails (false) when the program cannot be found or executed.
bool spawn(const std::string& path, const std::vector<std::string>& args);

// Opens a web address or a local file in the user's preferred program (xdg-open).
// $AURALIS_OPEN_URL names a replacement program for tests.
bool openUrl(const std::string& url);

}  // namespace platform::process
