#include "ctl/BluetoothCommands.h"

#include <charconv>
#include <cstring>
#include <optional>

#include "ctl/CtlLink.h"
#include "ctl/Output.h"
#include "ctl/ProgressBar.h"
#include "fota/FileInfo.h"
#include "link/NarrowText.h"
#include "platform/bluetooth/BluetoothAddress.h"

namespace ctl {
namespace {

using Clock = CtlLink::Clock;
using Kind = LinkEvent::Kind;
using platform::bluetooth::formatAddress;

constexpr int kDefaultScanSeconds = 10;
constexpr int kDefaultConnectSeconds = 15;
constexpr int kMaxSeconds = 24 * 60 * 60;
// Long enough to stand for "no deadline" (the link's own watchdogs end a dead link).
constexpr std::chrono::hours kForever{24 * 365};

// Text the earbuds sent, fit for a terminal and for JSON: up to the first NUL, as UTF-8.
std::string shown(const std::string& text) {
    return devlink::narrowTextToUtf8(std::string_view(text.c_str(), std::strlen(text.c_str())));
}

std::optional<uint64_t> addressArgument(const std::string& text, Output& output) {
    const std::optional<uint64_t> address = platform::bluetooth::parseAddress(text);
    if (!address) {
        output.error("'" + text + "' is not a Bluetooth address (AA:BB:CC:DD:EE:FF)");
    }
    return address;
}

// --seconds N (1 to a day), else the fallback; empty after complaining about a bad value.
std::optional<int> secondsOption(const Invocation& invocation, int fallback, Output& output) {
    const std::optional<std::string> text = invocation.option("--seconds");
    if (!text) {
        return fallback;
    }
    int value = 0;
    const char* last = text->data() + text->size();
    const auto [end, problem] = std::from_chars(text->data(), last, value);
    if (problem != std::errc() || end != last || value < 1 || value > kMaxSeconds) {
        output.error("--seconds needs a whole number of seconds from 1 to " +
                     std::to_string(kMaxSeconds) + ", got '" + *text + "'");
        return std::nullopt;
    }
    return value;
}

Json statusObject(const DeviceStatus& status) {
    return {{"revision", status.messageRevision}, {"earType", status.earType},
            {"batteryLeft", status.batteryLeft},  {"batteryRight", status.batteryRight},
            {"batteryCase", status.batteryCase},  {"twsStatus", status.twsStatus},
            {"primary", status.mainConnection},   {"wearing", status.wearingDetection},
            {"colorLeft", status.DeviceColorL},   {"colorRight", status.DeviceColorR}};
}

std::string statusLine(const DeviceStatus& status) {
    char text[256];
    std::snprintf(text, sizeof(text),
                  "battery left %d %%, right %d %%, case %d %%; TWS status %d, primary %d, "
                  "wearing 0x%02x, colours %d/%d, ear type %d, revision %d",
                  status.batteryLeft, status.batteryRight, status.batteryCase, status.twsStatus,
                  status.mainConnection, status.wearingDetection, status.DeviceColorL,
                  status.DeviceColorR, status.earType, status.messageRevision);
    return text;
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
                output.line("  " + formatAddress(address) + "  " + shown(device->name));
            }
            output.out().flush();
        }
        last = event->devices;
    }
    link.handle().StopFindDevice();
    if (!last) {
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
    output.line("Connected:  " + shown(device.name) + " (" + formatAddress(device.address) + ")");
    output.line("Model:      " + device.modelCode());
    output.line("Status:     " +
                (report.status ? statusLine(status) : std::string("not reported")));
    output.line("Versions:   left " + shown(report.versionLeft) + ", right " +
                shown(report.versionRight));
    output.line("Serials:    left " + shown(report.serialLeft) + ", right " +
                shown(report.serialRight));
}

int runStatus(const Invocation& invocation, Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    const std::optional<int> seconds = secondsOption(invocation, kDefaultConnectSeconds, output);
    if (!address || !seconds) {
        return kExitUsage;
    }
    CtlLink link(invocation.global.backend);
    if (!link.checkBluetooth(output)) {
        return kExitFailure;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(*seconds);
    BluetoothDevice* device = link.connect(*address, deadline, output);
    if (device == nullptr) {
        output.object({{"connected", false}, {"address", formatAddress(*address)}});
        return kExitFailure;
    }
    DeviceReport report;
    while (!report.complete()) {
        std::optional<LinkEvent> event = link.next(deadline);
        if (!event) {
            break;
        }
        if (event->kind == Kind::Disconnected) {
            output.error("the earbuds went away before they reported their status");
            return kExitFailure;
        }
        report.take(*event);
    }
    printStatus(output, *device, report);
    if (!report.status) {
        output.error("no status report from the earbuds within " + std::to_string(*seconds) + " s");
        return kExitFailure;
    }
    return kExitSuccess;
}

// ---- watch ----

int runWatch(const Invocation& invocation, Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    if (!address) {
        return kExitUsage;
    }
    CtlLink link(invocation.global.backend);
    if (!link.checkBluetooth(output)) {
        return kExitFailure;
    }
    BluetoothDevice* device =
        link.connect(*address, Clock::now() + std::chrono::seconds(kDefaultConnectSeconds), output);
    if (device == nullptr) {
        return kExitFailure;
    }
    flushLine(output, "Connected to " + shown(device->name) + " (" + formatAddress(*address) +
                          "), model " + device->modelCode() + ". Watching; Ctrl-C ends.");
    std::optional<std::pair<std::string, std::string>> lastSerials;
    const Clock::time_point never = Clock::now() + kForever;
    while (std::optional<LinkEvent> event = link.next(never)) {
        switch (event->kind) {
            case Kind::Status: {
                Json object{{"event", "status"}};
                object.update(statusObject(event->status));
                output.object(object);
                flushLine(output, "status:   " + statusLine(event->status));
                break;
            }
            case Kind::Versions:
                output.object({{"event", "versions"},
                               {"versionLeft", shown(event->left)},
                               {"versionRight", shown(event->right)}});
                flushLine(output, "versions: left " + shown(event->left) + ", right " +
                                      shown(event->right));
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
                flushLine(output, "serials:  left " + shown(event->left) + ", right " +
                                      shown(event->right));
                break;
            }
            case Kind::Disconnected:
                output.object({{"event", "disconnected"}, {"reason", event->number}});
                flushLine(output, "disconnected (reason " + std::to_string(event->number) +
                                      ": the earbuds stopped answering)");
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
        return kExitFailure;
    }
    BluetoothDevice record("", *address);
    const int code = link.handle().RemoveDevice(&record);
    output.object({{"unpaired", code == 0}, {"address", formatAddress(*address)}});
    if (code != 0) {
        output.error("cannot unpair " + formatAddress(*address) + ": " +
                     BluetoothHandle::formatError(code));
        return kExitFailure;
    }
    output.line("Unpaired " + formatAddress(*address) + ".");
    return kExitSuccess;
}

// ---- fw update ----

// Shows the transfer's progress: a bar on a terminal, percent lines otherwise, and in JSON a
// line whenever the earbuds' percent changes or another hundredth of the package has gone out.
class UpdateProgress {
public:
    UpdateProgress(Output& output, uint64_t total)
        : m_output(output), m_total(total), m_bar(output.out()) {}

    void report(int percent, uint64_t bytes) {
        const bool percentChanged = percent != m_percent;
        const uint64_t step = m_total / 100 > 0 ? m_total / 100 : 1;
        if (m_output.json()) {
            if (percentChanged || !m_reported || bytes >= m_bytes + step) {
                m_output.object({{"event", "progress"}, {"percent", percent}, {"bytes", bytes}});
                m_bytes = bytes;
                m_reported = true;
            }
        } else if (m_output.terminal()) {
            m_bar.update(percent, bytes);
        } else if (percent / 10 != m_percent / 10 || (percentChanged && m_percent < 0)) {
            // Plain text (a file, a pipe) gets a line per tenth.
            flushLine(m_output, "progress: " + std::to_string(percent) + " %");
        }
        m_percent = percent;
    }

    void end() { m_bar.finish(); }

private:
    Output& m_output;
    const uint64_t m_total;
    ProgressBar m_bar;
    int m_percent = -1;
    uint64_t m_bytes = 0;
    bool m_reported = false;
};

int runUpdate(const Invocation& invocation, Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    if (!address) {
        return kExitUsage;
    }
    const std::string& path = invocation.args[1];
    FileInfo package;
    package.path = path;
    if (!package.getFileInfo(path)) {
        output.error(path + " cannot be read or is not a valid firmware package");
        return kExitFailure;
    }
    uint64_t total = 0;
    for (const fota::EntryRecord& entry : package.entries) {
        total += entry.size;
    }

    CtlLink link(invocation.global.backend);
    if (!link.checkBluetooth(output)) {
        return kExitFailure;
    }
    BluetoothDevice* device =
        link.connect(*address, Clock::now() + std::chrono::seconds(kDefaultConnectSeconds), output);
    if (device == nullptr) {
        return kExitFailure;
    }
    output.line("Updating " + shown(device->name) + " (" + formatAddress(*address) + ", model " +
                device->modelCode() + ") with " + path + ": " +
                std::to_string(package.entries.size()) + " entries, " + std::to_string(total) +
                " bytes");
    output.out().flush();
    link.handle().FotaBin = package;
    if (!link.handle().OpenFotaSession()) {
        output.error("the firmware transfer could not be opened");
        return kExitFailure;
    }

    UpdateProgress progress(output, total);
    const Clock::time_point never = Clock::now() + kForever;
    while (std::optional<LinkEvent> event = link.next(never)) {
        if (event->kind == Kind::Progress) {
            progress.report(event->number, event->bytes);
        } else if (event->kind == Kind::Finish) {
            progress.end();
            output.object(
                {{"event", "finish"}, {"success", event->flag}, {"reason", event->number}});
            if (event->flag) {
                output.line("Firmware update finished: the earbuds report success.");
                return kExitSuccess;
            }
            output.line(event->number == BluetoothHandle::kFotaReasonPackageUnreadable
                            ? "Firmware update failed: the package could not be read."
                            : "Firmware update failed: the earbuds report reason " +
                                  std::to_string(event->number) + ".");
            return kExitFailure;
        } else if (event->kind == Kind::Disconnected) {
            progress.end();
            output.error("the earbuds stopped answering during the update");
            return kExitFailure;
        }
    }
    return kExitFailure;
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
               .argsUsage = "ADDRESS FILE",
               .summary = "transfer a firmware package into the earbuds",
               .options = {},
               .minArgs = 2,
               .maxArgs = 2,
               .run = runUpdate});
}

}  // namespace ctl
