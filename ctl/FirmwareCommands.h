#pragma once

#include "ctl/CommandTable.h"

namespace ctl {

// "fw info FILE" and "fw pack OUT ID=FILE...": firmware package files, no device needed.
void addFirmwareCommands(CommandTable& table);

}  // namespace ctl
