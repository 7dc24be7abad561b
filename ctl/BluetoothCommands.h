#pragma once

#include "ctl/CommandTable.h"

namespace ctl {

// "check", "scan", "status", "watch" and "unpair": the commands that reach earbuds through the
// chosen Bluetooth backend.
void addBluetoothCommands(CommandTable& table);
// "fw update ADDRESS FILE": a firmware transfer, listed with the other firmware commands.
void addFirmwareUpdateCommand(CommandTable& table);

}  // namespace ctl
