#include "ctl/DoctorCommand.h"

#include <algorithm>

#include "ctl/BluetoothChecks.h"
#include "ctl/CommandArguments.h"
#include "ctl/HostChecks.h"
#include "ctl/Output.h"
#include "platform/Paths.h"

namespace ctl {
namespace {

using Status = DoctorCheck::Status;

int count(const DoctorChecks& checks, Status status) {
    return static_cast<int>(std::count_if(checks.begin(), checks.end(),
                                          [status](const auto& c) { return c.status == status; }));
}

int runDoctor(const Invocation& invocation, Output& output) {
    std::optional<uint64_t> address;
    if (!invocation.args.empty()) {
        address = addressArgument(invocation.args.front(), output);
        if (!address) {
            output.object(
                {{"error", "'" + invocation.args.front() + "' is not a Bluetooth address"}});
            return kExitUsage;
        }
    }
    const DoctorChecks checks = runDoctorChecks(address);
    for (const DoctorCheck& check : checks) {
        output.object(check.toJson());
        output.line(check.toText());
    }
    Json summary = doctorSummary(checks);
    const int failures = summary["failures"].get<int>();
    if (failures > 0) {
        // A failed command ends with an object that says why: here the summary itself.
        summary["error"] = std::to_string(failures) + " check(s) failed";
    }
    output.object(summary);
    output.line("\n" + std::to_string(failures) + " failure(s), " +
                std::to_string(summary["warnings"].get<int>()) + " warning(s)." +
                (failures == 0 ? ""
                               : " Fix the failures from the top: later checks often "
                                 "follow from earlier ones."));
    return failures == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace

DoctorChecks runDoctorChecks(std::optional<uint64_t> address) {
    BluetoothCheckInput input;
    input.facts = platform::bluetooth::inspectBluetoothSystem();
    input.address = address;
    input.history = ConnectHistory::read(platform::paths::logFolder());
    input.recordChannel = platform::bluetooth::recordedRfcommChannel;
    DoctorChecks checks = runBluetoothChecks(input);
    checks.push_back(checkUpdateServer());
    checks.push_back(checkFolders());
    checks.push_back(checkDisplay());
    return checks;
}

Json doctorSummary(const DoctorChecks& checks) {
    return {{"event", "summary"},
            {"failures", count(checks, Status::Failure)},
            {"warnings", count(checks, Status::Warning)}};
}

void addDoctorCommand(CommandTable& table) {
    table.add({.words = {"doctor"},
               .argsUsage = "[ADDRESS]",
               .summary = "check everything between this computer and the earbuds, with fixes",
               .options = {},
               .minArgs = 0,
               .maxArgs = 1,
               .run = runDoctor});
}

}  // namespace ctl
