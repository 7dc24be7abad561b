#pragma once

#include "ctl/CommandTable.h"

namespace ctl {

class Output;

// "fw check ADDRESS": the earbuds' version beside the newest one of the update server.
void addFirmwareCheckCommand(CommandTable& table);

// "fw update ADDRESS --latest": the whole update flow without a screen (ask the update server,
// download, check the package, transfer). Run by the "fw update" command.
int runUpdateLatest(const Invocation& invocation, Output& output);

}  // namespace ctl
