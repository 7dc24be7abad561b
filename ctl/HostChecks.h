#pragma once

#include <string>

#include "ctl/DoctorCheck.h"
#include "services/ServerProbe.h"

namespace ctl {

// The update server: "" when no address is set; offline when the network is forced off.
DoctorCheck checkUpdateServer(const std::string& baseUrl, bool offline,
                              const services::ServerProbeResult& probe);
// The address to probe and the probe itself (network I/O, bounded by a few seconds).
DoctorCheck checkUpdateServer();

// Settings, log and temporary folders private and writable; the single-instance lock.
DoctorCheck checkFolders();

// The display the window program would open: X11 or Wayland from the environment.
DoctorCheck checkDisplay();

}  // namespace ctl
