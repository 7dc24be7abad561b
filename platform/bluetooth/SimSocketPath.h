#pragma once

#include <filesystem>

namespace platform::bluetooth {

// Where the virtual neighbourhood of auralis-sim is reached by default (the sim backend's
// socket): $AURALIS_SIM_SOCKET, else $XDG_RUNTIME_DIR/auralis-sim.sock, else auralis-sim.sock in
// the temporary folder (where auralis-sim puts it too). Code above the seam asks here, without
// naming the backend, to tell people where no simulator answered.
std::filesystem::path defaultSimSocketPath();

}  // namespace platform::bluetooth
