#include "ctl/BluetoothChecks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "link/BluetoothHandle.h"
#include "link/FrameCodec.h"
#include "platform/bluetooth/BluetoothAddress.h"

namespace ctl {
namespace {

using platform::bluetooth::AdapterFacts;
using platform::bluetooth::BluezFacts;
using platform::bluetooth::DeviceFacts;
using platform::bluetooth::formatAddress;
using Reach = BluezFacts::Reach;
using Status = DoctorCheck::Status;

constexpr const char* kStartBluez =
    "install and start BlueZ: sudo apt install bluez && sudo systemctl enable --now bluetooth";
constexpr const char* kSeeBluez = "fix the bluez check first";

bool reached(const BluetoothCheckInput& input) {
    return input.facts.bluez.reach == Reach::Reached;
}

std::vector<int> versionNumbers(const std::string& text) {
    std::vector<int> numbers;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
        numbers.push_back(std::atoi(part.c_str()));
    }
    return numbers;
}

bool olderThan(const std::string& version, const std::string& minimum) {
    return versionNumbers(version) < versionNumbers(minimum);
}

std::string versionText(const platform::bluetooth::BluezVersion& version) {
    return version.version.empty() ? "version unknown"
                                   : "version " + version.version + " (" + version.source + ")";
}

std::string join(const std::vector<std::string>& items, const char* separator = ", ") {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : separator) + item;
    }
    return text;
}

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

// "no radio" explained with what the kernel says.
std::string kernelRadios(const platform::bluetooth::KernelFacts& kernel) {
    if (kernel.radios.empty()) {
        return "the kernel knows no Bluetooth radio on this computer";
    }
    return "the kernel has the radio " + join(kernel.radios);
}

const AdapterFacts* chosenAdapter(const BluezFacts& bluez) {
    for (const AdapterFacts& adapter : bluez.adapters) {
        if (adapter.powered) {
            return &adapter;
        }
    }
    return bluez.adapters.empty() ? nullptr : &bluez.adapters.front();
}

bool anySwitch(const BluetoothCheckInput& input, bool hard) {
    const auto& switches = input.facts.kernel.switches;
    return std::any_of(switches.begin(), switches.end(), [hard](const auto& item) {
        return hard ? item.hardBlocked : item.softBlocked;
    });
}

// ---- earbuds ----

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isAuralis(const DeviceFacts& device) {
    return device.name.find("Auralis") != std::string::npos;
}

std::string serviceUuidFor(const DeviceFacts& device) {
    return lower(devlink::isSecondGenerationName(device.name) ? BluetoothHandle::kServiceUuidSecond
                                                              : BluetoothHandle::kServiceUuidFirst);
}

struct EarbudsFinding {
    Status status = Status::Ok;
    std::vector<std::string> seen;
    std::vector<std::string> fixes;

    void add(Status level, const std::string& what, const std::string& fix = {}) {
        status = worse(status, level);
        seen.push_back(what);
        if (!fix.empty()) {
            fixes.push_back(fix);
        }
    }
};

void judgePairing(const DeviceFacts& device, const std::string& address, EarbudsFinding& finding) {
    if (!device.paired) {
        finding.add(Status::Warning, "not paired",
                    "connect from the program or with auralis-ctl status " + address +
                        " (it pairs first; keep the case open near the computer)");
        return;
    }
    finding.add(Status::Ok, "paired");
    if (!device.bonded) {
        finding.add(
            Status::Warning, "no bond kept (paired for this session only)",
            "pair again so the keys are kept: auralis-ctl unpair " + address + ", then connect");
    }
    if (!device.trusted) {
        finding.add(Status::Warning,
                    "not trusted (paired by another program, e.g. the desktop for audio)",
                    "bluetoothctl trust " + address);
    }
}

void judgeServices(const BluetoothCheckInput& input, const DeviceFacts& device,
                   const std::string& address, EarbudsFinding& finding) {
    const std::string uuid = serviceUuidFor(device);
    const bool listed =
        std::find(device.uuids.begin(), device.uuids.end(), uuid) != device.uuids.end();
    if (device.uuids.empty()) {
        finding.add(device.paired ? Status::Warning : Status::Ok,
                    "BlueZ has not read the service records yet",
                    device.paired ? "connect once so BlueZ reads them" : "");
    } else if (listed) {
        finding.add(Status::Ok,
                    "serial-port service " + uuid + " offered (first class of a record)");
    } else {
        finding.add(Status::Failure,
                    "the records BlueZ read offer no serial-port service " + uuid +
                        " (services: " + join(device.uuids) + ")",
                    "remove the pairing and pair again so BlueZ reads the records anew "
                    "(auralis-ctl unpair " +
                        address + "); if it stays missing the earbuds' firmware lacks it");
    }
    if (!input.recordChannel || !device.paired || input.facts.kernel.rfcommSocketError != 0) {
        return;
    }
    int error = 0;
    if (const std::optional<int> channel = input.recordChannel(device.address, uuid, error)) {
        finding.add(Status::Ok, "RFCOMM channel " + std::to_string(*channel) + " in its records");
    } else if (error == ENOENT) {
        finding.add(Status::Failure, "its records name no RFCOMM channel for " + uuid,
                    "update the earbuds' firmware; the serial-port record is missing");
    } else {
        finding.add(Status::Ok, std::string("records not readable now (") + std::strerror(error) +
                                    "; the earbuds must be in range)");
    }
}

void judgeHistory(const BluetoothCheckInput& input, const DeviceFacts& device,
                  EarbudsFinding& finding) {
    const std::optional<ConnectAttempt> last = input.history.lastFor(device.name);
    if (!last) {
        finding.add(Status::Ok, "no connect attempt in our logs");
        return;
    }
    std::string text = "last connect (" + last->program + ", " + last->time +
                       "): " + ConnectHistory::plainWords(last->code);
    if (last->code != 0 && !last->text.empty()) {
        text += " [" + last->text + "]";
    }
    finding.add(Status::Ok, text);
}

DoctorCheck earbudsCheck(const BluetoothCheckInput& input, const DeviceFacts& device) {
    const std::string address = formatAddress(device.address);
    EarbudsFinding finding;
    finding.seen.push_back("\"" + device.name + "\"");
    judgePairing(device, address, finding);
    finding.add(Status::Ok, device.connected ? "connected" : "not connected");
    judgeServices(input, device, address, finding);
    judgeHistory(input, device, finding);
    return {"earbuds", finding.status, join(finding.seen, "; "), join(finding.fixes, "; "),
            address};
}

}  // namespace

DoctorCheck checkBluez(const BluetoothCheckInput& input) {
    const BluezFacts& bluez = input.facts.bluez;
    const auto& version = input.facts.version;
    switch (bluez.reach) {
        case Reach::NoBus:
            return {"bluez", Status::Failure,
                    "no system bus to reach BlueZ (" + bluez.error + "); " +
                        (version.version.empty() ? std::string("BlueZ is not installed")
                                                 : "BlueZ " + versionText(version)),
                    "start the system's D-Bus daemon, then " + std::string(kStartBluez)};
        case Reach::NotRunning:
            return {"bluez", Status::Failure,
                    "BlueZ (bluetoothd) does not run on the system bus; " +
                        (version.version.empty() ? std::string("it is not installed")
                                                 : "installed: " + versionText(version)),
                    kStartBluez};
        case Reach::Failed:
            return {"bluez", Status::Failure, "BlueZ did not answer: " + bluez.error,
                    "restart it: sudo systemctl restart bluetooth"};
        case Reach::AccessDenied:
        case Reach::Reached:
            break;
    }
    if (!version.version.empty() && olderThan(version.version, kMinimumBluezVersion)) {
        return {"bluez", Status::Failure,
                "BlueZ " + version.version + " runs; " + kMinimumBluezVersion +
                    " is the oldest this program works with",
                "update the bluez package to " + std::string(kMinimumBluezVersion) + " or newer"};
    }
    return {"bluez", Status::Ok, "BlueZ runs on the system bus, " + versionText(version), ""};
}

DoctorCheck checkAdapter(const BluetoothCheckInput& input) {
    const auto& kernel = input.facts.kernel;
    const char* noRadioFix =
        "plug in a Bluetooth adapter or enable the built-in one in the firmware settings; "
        "without a radio only the virtual earbuds work (auralis-ctl --backend sim, make run)";
    if (!reached(input)) {
        if (kernel.radios.empty()) {
            return {"adapter", Status::Failure,
                    kernelRadios(kernel) + " (and BlueZ is not reachable)", noRadioFix};
        }
        return {"adapter", Status::Failure, kernelRadios(kernel) + ", but BlueZ does not manage it",
                kSeeBluez};
    }
    const AdapterFacts* adapter = chosenAdapter(input.facts.bluez);
    if (adapter == nullptr) {
        return {"adapter", Status::Failure, "BlueZ knows no adapter; " + kernelRadios(kernel),
                kernel.radios.empty() ? noRadioFix
                                      : "unblock it (see rfkill) or restart BlueZ: sudo systemctl "
                                        "restart bluetooth"};
    }
    const std::string name = adapter->path.substr(adapter->path.rfind('/') + 1);
    const std::string described = name + " (" + adapter->address + ")";
    if (!adapter->powered) {
        return {"adapter", Status::Failure, described + " is switched off",
                anySwitch(input, true) || anySwitch(input, false)
                    ? "unblock it first (see rfkill), then: bluetoothctl power on"
                    : "switch it on: bluetoothctl power on (or in the desktop's Bluetooth "
                      "settings)"};
    }
    const std::string seen = described + " present and on; pairable " + yesNo(adapter->pairable) +
                             ", discoverable " + yesNo(adapter->discoverable) + " (not needed)";
    if (!adapter->pairable) {
        return {"adapter", Status::Warning, seen,
                "earbuds that start a pairing themselves are refused: bluetoothctl pairable on"};
    }
    return {"adapter", Status::Ok, seen, ""};
}

DoctorCheck checkRfkill(const BluetoothCheckInput& input) {
    const auto& switches = input.facts.kernel.switches;
    if (switches.empty()) {
        return {"rfkill", input.facts.kernel.radios.empty() ? Status::Warning : Status::Ok,
                "no Bluetooth radio switch in /sys/class/rfkill" +
                    std::string(input.facts.kernel.radios.empty() ? " (no radio)" : ""),
                ""};
    }
    std::vector<std::string> states;
    for (const auto& item : switches) {
        states.push_back(item.id + " " + item.name + ": " +
                         (item.hardBlocked   ? "hard-blocked"
                          : item.softBlocked ? "soft-blocked"
                                             : "not blocked"));
    }
    if (anySwitch(input, true)) {
        return {"rfkill", Status::Failure, join(states),
                "turn the radio on with the computer's wireless switch or key (airplane mode); "
                "the firmware settings may also disable it"};
    }
    if (anySwitch(input, false)) {
        return {"rfkill", Status::Failure, join(states),
                "rfkill unblock bluetooth (or switch airplane mode off)"};
    }
    return {"rfkill", Status::Ok, join(states), ""};
}

DoctorCheck checkPermission(const BluetoothCheckInput& input) {
    switch (input.facts.bluez.reach) {
        case Reach::Reached:
            return {"permission", Status::Ok, "BlueZ answers this user's calls", ""};
        case Reach::AccessDenied:
            return {"permission", Status::Failure,
                    "the system bus refused this user's call to BlueZ (" + input.facts.bluez.error +
                        ")",
                    "add the user to the group the BlueZ bus policy names (e.g. sudo usermod -aG "
                    "bluetooth $USER, then log in again), or allow org.bluez for this user in "
                    "/etc/dbus-1/system.d/ or through polkit"};
        default:
            return {"permission", Status::Warning, "not known: BlueZ cannot be reached", kSeeBluez};
    }
}

DoctorCheck checkRfcomm(const BluetoothCheckInput& input) {
    const int error = input.facts.kernel.rfcommSocketError;
    if (error == 0) {
        return {"rfcomm", Status::Ok, "the kernel offers Bluetooth RFCOMM sockets", ""};
    }
    const std::string seen =
        std::string("an RFCOMM socket cannot be created (") + std::strerror(error) + ")";
    if (error == EPROTONOSUPPORT) {
        return {"rfcomm", Status::Failure, seen, "load the module: sudo modprobe rfcomm"};
    }
    if (error == EPERM || error == EACCES) {
        return {"rfcomm", Status::Failure, seen,
                "a sandbox or security policy forbids Bluetooth sockets to this program; allow "
                "them"};
    }
    return {"rfcomm", Status::Failure, seen + "; the kernel has no Bluetooth sockets",
            "load the modules (sudo modprobe bluetooth rfcomm); a kernel or container without "
            "Bluetooth cannot reach earbuds"};
}

DoctorCheck checkBatteryProvider(const BluetoothCheckInput& input) {
    if (!reached(input)) {
        return {"battery-provider", Status::Warning, "not known: BlueZ cannot be reached",
                kSeeBluez};
    }
    const auto& adapters = input.facts.bluez.adapters;
    if (std::any_of(adapters.begin(), adapters.end(),
                    [](const AdapterFacts& adapter) { return adapter.batteryProviderManager; })) {
        return {"battery-provider", Status::Ok,
                "BlueZ offers BatteryProviderManager1: the earbuds' battery shows in the "
                "desktop's battery indicator",
                ""};
    }
    return {"battery-provider", Status::Warning,
            "BlueZ offers no BatteryProviderManager1: the desktop's battery indicator will not "
            "show the earbuds",
            "turn on BlueZ's experimental features: Experimental = true under [General] in "
            "/etc/bluetooth/main.conf, then sudo systemctl restart bluetooth"};
}

DoctorChecks checkEarbuds(const BluetoothCheckInput& input) {
    const std::string asked = input.address ? formatAddress(*input.address) : std::string();
    if (!reached(input)) {
        return {
            {"earbuds", Status::Warning, "not known: BlueZ cannot be reached", kSeeBluez, asked}};
    }
    DoctorChecks checks;
    for (const DeviceFacts& device : input.facts.bluez.devices) {
        const bool wanted = input.address ? device.address == *input.address : isAuralis(device);
        if (wanted) {
            checks.push_back(earbudsCheck(input, device));
        }
    }
    if (!checks.empty()) {
        return checks;
    }
    if (input.address) {
        return {{"earbuds", Status::Failure, "BlueZ does not know these earbuds",
                 "open the case near the computer and run auralis-ctl scan; the program pairs "
                 "when it connects",
                 asked}};
    }
    return {{"earbuds", Status::Warning, "BlueZ knows no Auralis earbuds",
             "open the case near the computer and connect from the program (or auralis-ctl scan)",
             ""}};
}

DoctorChecks runBluetoothChecks(const BluetoothCheckInput& input) {
    DoctorChecks checks = {checkBluez(input),  checkAdapter(input),
                           checkRfkill(input), checkPermission(input),
                           checkRfcomm(input), checkBatteryProvider(input)};
    for (DoctorCheck& check : checkEarbuds(input)) {
        checks.push_back(std::move(check));
    }
    return checks;
}

}  // namespace ctl
