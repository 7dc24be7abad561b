#include "ctl/BluetoothCommands.h"

#include <charconv>
#include <cstring>
#include <ctime>
#include <optional>

#include "ctl/CommandArguments.h"
#include "ctl/CtlLink.h"
#include "ctl/FirmwareFlowCommands.h"
#include "ctl/Interruption.h"
#include "ctl/Output.h"
#include "ctl/StatusWords.h"
#include "ctl/TerminalText.h"
#include "ctl/UpdateProgress.h"
#include "fota/FileInfo.h"
#include "fota/PackageVerdict.h"
#include "link/NarrowText.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "services/EnvironVar.h"

namespace ctl {
namespace {

using Clock = CtlLink::Clock;
using Kind = LinkEvent::Kind;
using platform::bluetooth::formatAddress;

constexpr int kDefaultScanSeconds = 10;
constexpr int kDefaultConnectSeconds = 15;
// Long enough to stand for "no deadline" (the link's own watchdogs end a dead link).
constexpr std::chrono::hours kForever{24 * 365};
// The one failure reason after which the earbuds are neither reset nor unpaired.
constexpr int kFotaReasonNoReset = 14;

Json statusObject(const DeviceStatus& status) {
    return {{"revision", status.messageRevision}, {"earType", status.earType},
            {"batteryLeft", status.batteryLeft},  {"batteryRight", status.batteryRight},
            {"batteryCase", status.batteryCase},  {"twsStatus", status.twsStatus},
            {"primary", status.mainConnection},   {"wearing", status.wearingDetection},
            {"colorLeft", status.DeviceColorL},   {"colorRight", status.DeviceColorR}};
}

bool isSecondGeneration(const BluetoothDevice& device) {
    return device.modelCode() != BluetoothHandle::kModelCodeFirst;
}

// What a failed update's reason means for the user, with the number kept for support. The
// earbuds' own numbers carry no documented meaning beyond this: 14 ends the update without a
// reset; every other refusal resets the earbuds and removes their pairing with this computer.
std::string failureText(int reason) {
    if (reason == BluetoothHandle::kFotaReasonPackageUnreadable) {
        return "Firmware update failed: the package could not be read. The earbuds were not "
               "changed.";
    }
    const std::string number = " (reason " + std::to_string(reason) + ", for support)";
    if (reason == kFotaReasonNoReset) {
        return "Firmware update failed: the earbuds ended the update without installing it" +
               number + ". They were not reset: charge them and try again.";
    }
    return "Firmware update failed: the earbuds refused the update" + number +
           ". They have been reset and unpaired from this computer: charge them, put them in "
           "the case and take them out, pair them again, then try again.";
}

// Why a link ended, as people are told: closed by the earbuds' side, or given up for silence.
std::string lossText(CtlLink& link) {
    return link.handle().linkClosedByPeer() ? "the link to the earbuds was lost"
                                            : "the earbuds stopped answering";
}

void flushLine(Output& output, const std::string& text) {
    output.line(text);
    output.out().flush();
}

// ---- check ----

int runCheck(const Invocation& invocation, Output& output) {
    CtlLink link(invocation.global.backend);
    const bool supported = link.checkBluetooth(output);
    output.object({{"supported", supported}, {"backend", link.backendName()}});
    if (supported) {
        output.line("Bluetooth is available (backend " + link.backendName() + ")");
    }
    return supported ? kExitSuccess : kExitFailure;
}

// ---- scan ----

Json devicesObject(const std::map<uint64_t, BluetoothDevice*>& devices) {
    Json list = Json::array();
    for (const auto& [address, device] : devices) {
        list.push_back({{"name", shown(device->name)}, {"address", formatAddress(address)}});
    }
    return {{"event", "devices"}, {"devices", list}};
}

int runScan(const Invocation& invocation, Output& output) {
    const std::optional<int> seconds = secondsOption(invocation, kDefaultScanSeconds, output);
    if (!seconds) {
        return kExitUsage;
    }
    CtlLink link(invocation.global.backend);
    if (!link.checkBluetooth(output)) {
        output.object(devicesObject({}));
        return kExitFailure;
    }
    link.handle().StartFindDevice();
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(*seconds);
    std::optional<std::map<uint64_t, BluetoothDevice*>> last;
    while (std::optional<LinkEvent> event = link.next(deadline)) {
        if (event->kind != Kind::Found) {
            continue;
        }
        output.object(devicesObject(event->devices));
        // People see a list only when it changes.
        if (!output.json() && event->devices != last) {
            output.line("Earbuds in range:");
            for (const auto& [address, device] : event->devices) {
                output.line("  " + formatAddress(address) + "  " + printable(device->name));
            }
            output.out().flush();
        }
        last = event->devices;
    }
    link.handle().StopFindDevice();
    if (!last) {
        // Scripts read the last object: an empty list says that nothing was in range.
        output.object(devicesObject({}));
        output.line("No Auralis earbuds found in " + std::to_string(*seconds) + " s.");
    }
    return kExitSuccess;
}

// ---- status ----

struct DeviceReport {
    std::optional<DeviceStatus> status;
    bool versionsSeen = false;
    std::string versionLeft;
    std::string versionRight;
    bool serialsSeen = false;
    std::string serialLeft;
    std::string serialRight;

    // Takes an event; true when it was one of the reports.
    bool take(const LinkEvent& event) {
        switch (event.kind) {
            case Kind::Status:
                status = event.status;
                return true;
            case Kind::Versions:
                versionsSeen = true;
                versionLeft = event.left;
                versionRight = event.right;
                return true;
            case Kind::Serials:
                serialsSeen = true;
                serialLeft = event.left;
                serialRight = event.right;
                return true;
            default:
                return false;
        }
    }

    bool complete() const {
        return status && serialsSeen && versionsSeen && !versionLeft.empty() &&
               !versionRight.empty();
    }
};

void printStatus(Output& output, const BluetoothDevice& device, const DeviceReport& report) {
    const DeviceStatus status = report.status.value_or(DeviceStatus{});
    output.object({{"connected", true},
                   {"name", shown(device.name)},
                   {"address", formatAddress(device.address)},
                   {"model", device.modelCode()},
                   {"status", statusObject(status)},
                   {"versionLeft", shown(report.versionLeft)},
                   {"versionRight", shown(report.versionRight)},
                   {"serialLeft", shown(report.serialLeft)},
                   {"serialRight", shown(report.serialRight)}});
    output.line("Connected:  " + printable(device.name) + " (" + formatAddress(device.address) +
                ")");
    output.line("Model:      " + device.modelCode());
    if (report.status) {
        const StatusWords words(status, isSecondGeneration(device));
        output.line("Status:     " + words.connection());
        output.line("Batteries:  " + words.batteries());
        output.line("Wearing:    " + words.wearing());
        output.line("Colours:    " + words.colours());
        output.line("Other:      " + words.rest());
    } else {
        output.line("Status:     not reported");
    }
    output.line("Versions:   left " + printable(report.versionLeft) + ", right " +
                printable(report.versionRight));
    output.line("Serials:    left " + printable(report.serialLeft) + ", right " +
                printable(report.serialRight));
}

int runStatus(const Invocation& invocation, Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    const std::optional<int> seconds = secondsOption(invocation, kDefaultConnectSeconds, output);
    if (!address || !seconds) {
        return kExitUsage;
    }
    const Json unreachable = {{"connected", false}, {"address", formatAddress(*address)}};
    CtlLink link(invocation.global.backend);
    Clock::time_point deadline;
    BluetoothDevice* device =
        link.checkAndConnect(*address, std::chrono::seconds(*seconds), output, &deadline);
    if (device == nullptr) {
        output.object(unreachable);
        return kExitFailure;
    }
    DeviceReport report;
    while (!report.complete()) {
        std::optional<LinkEvent> event = link.next(deadline);
        if (!event) {
            break;
        }
        if (event->kind == Kind::Disconnected) {
            output.object(unreachable);
            output.error(lossText(link) + " before they reported their status");
            return kExitFailure;
        }
        report.take(*event);
    }
    if (!report.status) {
        // Earbuds that never report are as good as unreachable.
        output.error("no status report from the earbuds within " + std::to_string(*seconds) + " s");
        output.object(unreachable);
        output.line("Connected:  " + printable(device->name) + " (" +
                    formatAddress(device->address) + "), but no status report came");
        return kExitFailure;
    }
    printStatus(output, *device, report);
    return kExitSuccess;
}

// ---- watch ----

int runWatch(const Invocation& invocation, Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    if (!address) {
        return kExitUsage;
    }
    const Json neverConnected = {{"event", "disconnected"}, {"reason", kFinishReasonLinkLost}};
    CtlLink link(invocation.global.backend);
    BluetoothDevice* device =
        link.checkAndConnect(*address, std::chrono::seconds(kDefaultConnectSeconds), output);
    if (device == nullptr) {
        output.object(neverConnected);
        return kExitFailure;
    }
    flushLine(output, "Connected to " + printable(device->name) + " (" + formatAddress(*address) +
                          "), model " + device->modelCode() + ". Watching; Ctrl-C ends.");
    std::optional<std::pair<std::string, std::string>> lastSerials;
    const Clock::time_point never = Clock::now() + kForever;
    while (std::optional<LinkEvent> event = link.next(never)) {
        switch (event->kind) {
            case Kind::Status: {
                Json object{{"event", "status"}};
                object.update(statusObject(event->status));
                output.object(object);
                flushLine(output,
                          "status:   " +
                              StatusWords(event->status, isSecondGeneration(*device)).oneLine());
                break;
            }
            case Kind::Versions:
                output.object({{"event", "versions"},
                               {"versionLeft", shown(event->left)},
                               {"versionRight", shown(event->right)}});
                // Each earbud reports its own version; people see the line once both did.
                if (!event->left.empty() && !event->right.empty()) {
                    flushLine(output, "versions: left " + printable(event->left) + ", right " +
                                          printable(event->right));
                }
                break;
            case Kind::Serials: {
                // Every keep-alive probe brings the serial numbers again; show them on change.
                const std::pair<std::string, std::string> serials{event->left, event->right};
                if (serials == lastSerials) {
                    break;
                }
                lastSerials = serials;
                output.object({{"event", "serials"},
                               {"valid", event->flag},
                               {"serialLeft", shown(event->left)},
                               {"serialRight", shown(event->right)}});
                flushLine(output, "serials:  left " + printable(event->left) + ", right " +
                                      printable(event->right));
                break;
            }
            case Kind::Disconnected:
                output.error(lossText(link));
                output.object({{"event", "disconnected"}, {"reason", event->number}});
                flushLine(output, "disconnected (reason " + std::to_string(event->number) + ": " +
                                      lossText(link) + ")");
                return kExitFailure;
            default:
                break;
        }
    }
    return kExitFailure;
}

// ---- unpair ----

int runUnpair(const Invocation& invocation, Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    if (!address) {
        return kExitUsage;
    }
    CtlLink link(invocation.global.backend);
    if (!link.checkBluetooth(output)) {
        output.object({{"unpaired", false}, {"address", formatAddress(*address)}});
        return kExitFailure;
    }
    BluetoothDevice record("", *address);
    const int code = link.handle().RemoveDevice(&record);
    if (code != 0) {
        output.error("cannot unpair " + formatAddress(*address) + ": " +
                     BluetoothHandle::formatError(code));
    }
    output.object({{"unpaired", code == 0}, {"address", formatAddress(*address)}});
    if (code != 0) {
        return kExitFailure;
    }
    output.line("Unpaired " + formatAddress(*address) + ".");
    return kExitSuccess;
}

// ---- fw update ----

int runUpdateFile(const Invocation& invocation, Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    if (!address) {
        return kExitUsage;
    }
    const std::string& path = invocation.args[1];
    const auto fail = [&output](int reason) {
        output.object({{"event", "finish"}, {"success", false}, {"reason", reason}});
        return kExitFailure;
    };
    const fota::PackageVerdict verdict = fota::checkPackage(path);
    if (!verdict.valid) {
        output.error(path + " is not a valid firmware package: " + verdict.error.message());
        return fail(BluetoothHandle::kFotaReasonPackageUnreadable);
    }
    const FileInfo& package = verdict.info;
    // From here on Ctrl-C ends the command in order, with its final object.
    const Interruption interruption;
    const auto interrupted = [&output, &fail](const std::string& when) {
        output.error("interrupted " + when);
        return fail(kFinishReasonInterrupted);
    };
    uint64_t total = 0;
    for (const fota::EntryRecord& entry : package.entries) {
        total += entry.size;
    }

    CtlLink link(invocation.global.backend);
    BluetoothDevice* device =
        link.checkAndConnect(*address, std::chrono::seconds(kDefaultConnectSeconds), output);
    if (device == nullptr) {
        return Interruption::requested() ? fail(kFinishReasonInterrupted)
                                         : fail(kFinishReasonLinkLost);
    }
    output.line("Updating " + printable(device->name) + " (" + formatAddress(*address) +
                ", model " + device->modelCode() + ") with " + path + ": " +
                std::to_string(package.entries.size()) + " entries, " + std::to_string(total) +
                " bytes");
    output.out().flush();
    link.handle().setFotaBin(package);
    if (!link.handle().OpenFotaSession()) {
        output.error("the firmware transfer could not be opened");
        return fail(kFinishReasonLinkLost);
    }

    UpdateProgress progress(output, total);
    const Clock::time_point never = Clock::now() + kForever;
    while (std::optional<LinkEvent> event = link.next(never)) {
        if (event->kind == Kind::Progress) {
            progress.report(event->number, event->bytes);
        } else if (event->kind == Kind::Finish) {
            progress.end();
            if (!event->flag && output.json()) {
                output.error(failureText(event->number));
            }
            output.object(
                {{"event", "finish"}, {"success", event->flag}, {"reason", event->number}});
            if (event->flag) {
                // The date the program shows for this pair (and as the last update of any).
                EnvironVar::SetLastTimeUpdateFW(
                    formatAddress(*address),
                    static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) & 0xFFFFFFFFu));
                output.line("Firmware update finished: the earbuds report success.");
                return kExitSuccess;
            }
            output.line(failureText(event->number));
            return kExitFailure;
        } else if (event->kind == Kind::Disconnected) {
            progress.end();
            output.error(lossText(link) + " during the update");
            return fail(kFinishReasonLinkLost);
        }
    }
    progress.end();
    if (Interruption::requested()) {
        return interrupted("during the transfer; the earbuds keep the firmware they had");
    }
    return fail(kFinishReasonLinkLost);
}

// "fw update ADDRESS FILE" sends a package file; "fw update ADDRESS --latest" runs the whole
// update flow with the newest firmware of the update server.
int runUpdate(const Invocation& invocation, Output& output) {
    const bool latest = invocation.option("--latest").has_value();
    if (latest && invocation.args.size() != 1) {
        output.error("fw update --latest takes the ADDRESS only, not a FILE");
        return kExitUsage;
    }
    if (!latest && invocation.args.size() != 2) {
        output.error("fw update needs ADDRESS and FILE, or ADDRESS and --latest");
        return kExitUsage;
    }
    return latest ? runUpdateLatest(invocation, output) : runUpdateFile(invocation, output);
}

}  // namespace

void addBluetoothCommands(CommandTable& table) {
    table.add({.words = {"check"},
               .argsUsage = "",
               .summary = "tell whether Bluetooth can be used",
               .options = {},
               .minArgs = 0,
               .maxArgs = 0,
               .run = runCheck});
    table.add({.words = {"scan"},
               .argsUsage = "",
               .summary = "list the Auralis earbuds in range after every discovery cycle",
               .options = {{"--seconds", "", "N", "how long to scan (default 10)"}},
               .minArgs = 0,
               .maxArgs = 0,
               .run = runScan});
    table.add({.words = {"status"},
               .argsUsage = "ADDRESS",
               .summary = "connect and show status, versions and serial numbers",
               .options = {{"--seconds", "", "N",
                            "how long to look for the earbuds and wait for their reports "
                            "(default 15)"}},
               .minArgs = 1,
               .maxArgs = 1,
               .run = runStatus});
    table.add({.words = {"watch"},
               .argsUsage = "ADDRESS",
               .summary = "connect and show every report until the link ends",
               .options = {},
               .minArgs = 1,
               .maxArgs = 1,
               .run = runWatch});
    table.add({.words = {"unpair"},
               .argsUsage = "ADDRESS",
               .summary = "remove the pairing with the earbuds",
               .options = {},
               .minArgs = 1,
               .maxArgs = 1,
               .run = runUnpair});
}

void addFirmwareUpdateCommand(CommandTable& table) {
    table.add({.words = {"fw", "update"},
               .argsUsage = "ADDRESS [FILE]",
               .summary = "transfer the package FILE into the earbuds; with --latest, download "
                          "the newest firmware from the update server and transfer it",
               .options = {{"--latest", "", "",
                            "ask the update server, download, check and transfer (no FILE)"},
                           {"--seconds", "", "N",
                            "with --latest: how long to look for the earbuds and wait for their "
                            "version (default 15)"}},
               .minArgs = 1,
               .maxArgs = 2,
               .run = runUpdate});
}

}  // namespace ctl
