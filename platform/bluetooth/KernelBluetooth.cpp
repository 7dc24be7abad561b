#include "platform/bluetooth/KernelBluetooth.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/CapturedRun.h"

namespace platform::bluetooth {
namespace {

namespace fs = std::filesystem;

// The kernel's numbers for Bluetooth sockets (linux/socket.h, the RFCOMM protocol number): the
// seam does not pull in the Bluetooth library's headers for two constants.
constexpr int kAddressFamilyBluetooth = 31;
constexpr int kProtocolRfcomm = 3;
constexpr auto kVersionTimeout = std::chrono::seconds(3);

// The first line of a small sysfs file, without its line end; empty when unreadable.
std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::vector<fs::path> sortedEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<RfkillSwitch> readSwitches(const fs::path& root) {
    std::vector<RfkillSwitch> switches;
    for (const fs::path& entry : sortedEntries(root / "sys/class/rfkill")) {
        RfkillSwitch item;
        item.id = entry.filename().string();
        item.type = firstLine(entry / "type");
        item.name = firstLine(entry / "name");
        item.softBlocked = firstLine(entry / "soft") == "1";
        item.hardBlocked = firstLine(entry / "hard") == "1";
        if (item.type == "bluetooth") {
            switches.push_back(std::move(item));
        }
    }
    return switches;
}

int probeRealSocket() {
    const int fd = ::socket(kAddressFamilyBluetooth, SOCK_STREAM | SOCK_CLOEXEC, kProtocolRfcomm);
    if (fd < 0) {
        return errno;
    }
    ::close(fd);
    return 0;
}

int probeListedProtocol(const fs::path& root) {
    std::ifstream in(root / "proc/net/protocols");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("RFCOMM", 0) == 0) {
            return 0;
        }
    }
    return EAFNOSUPPORT;
}

bool isRealRoot(const fs::path& root) {
    return root == "/";
}

// "5.66" out of "5.66\n" (or out of a package version "5.66-1+deb12u1").
std::string versionWord(const std::string& text) {
    const std::size_t start = text.find_first_of("0123456789");
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t end = text.find_first_not_of("0123456789.", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

fs::path systemRoot() {
    const char* root = std::getenv("AURALIS_SYSTEM_ROOT");
    return root != nullptr && root[0] == '/' ? fs::path(root) : fs::path("/");
}

KernelFacts readKernelFacts(const fs::path& root) {
    KernelFacts facts;
    for (const fs::path& entry : sortedEntries(root / "sys/class/bluetooth")) {
        const std::string name = entry.filename().string();
        // hci0, hci1: the radios (hci0:12 and the like are their connections).
        if (name.rfind("hci", 0) == 0 && name.find(':') == std::string::npos) {
            facts.radios.push_back(name);
        }
    }
    facts.switches = readSwitches(root);
    facts.rfcommSocketError = isRealRoot(root) ? probeRealSocket() : probeListedProtocol(root);
    return facts;
}

BluezVersion readBluezVersion(const fs::path& root) {
    for (const char* daemon : {"usr/libexec/bluetooth/bluetoothd", "usr/sbin/bluetoothd"}) {
        const fs::path program = root / daemon;
        if (::access(program.c_str(), X_OK) != 0) {
            continue;
        }
        const process::CapturedRun run =
            process::runCaptured(program.string(), {"--version"}, kVersionTimeout, 256);
        const std::string version = run.succeeded() ? versionWord(run.output) : std::string();
        if (!version.empty()) {
            return {version, "bluetoothd --version"};
        }
    }
    if (isRealRoot(root)) {
        const process::CapturedRun run = process::runCaptured(
            "dpkg-query", {"-W", "-f", "${Version}", "bluez"}, kVersionTimeout, 256);
        const std::string version = run.succeeded() ? versionWord(run.output) : std::string();
        if (!version.empty()) {
            return {version, "package bluez"};
        }
    }
    return {};
}

}  // namespace platform::bluetooth
