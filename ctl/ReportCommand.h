#pragma once

#include "ctl/CommandTable.h"

namespace ctl {

// "report [FILE]": one archive for a bug report (the doctor's findings, versions, the system,
// the programs' last logs, the settings without secrets, the last link session's frames).
// Written only on this computer; nothing is sent anywhere.
void addReportCommand(CommandTable& table);

}  // namespace ctl
