#include "ctl/HostChecks.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/FolderState.h"
#include "platform/Paths.h"
#include "platform/SingleInstanceLock.h"
#include "services/EnvironVar.h"
#include "services/SWebApi.h"

namespace ctl {
namespace {

using Status = DoctorCheck::Status;
namespace fs = std::filesystem;

constexpr auto kProbeTimeout = std::chrono::seconds(10);

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string millis(std::chrono::milliseconds time) {
    return std::to_string(time.count()) + " ms";
}

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof(text), "%04o", mode);
    return text;
}

// One folder's state; adds what is wrong (and its fix) to the lists.
void judgeFolder(const char* role, const fs::path& folder, Status& status,
                 std::vector<std::string>& seen, std::vector<std::string>& fixes) {
    if (folder.empty()) {
        status = worse(status, Status::Failure);
        seen.push_back(std::string(role) + ": none (no home folder)");
        fixes.push_back("set HOME (or AURALIS_CONFIG_DIR, AURALIS_LOG_DIR, AURALIS_TEMP_DIR)");
        return;
    }
    const platform::paths::FolderState state = platform::paths::folderState(folder);
    const std::string name = std::string(role) + " " + folder.string();
    if (!state.exists) {
        seen.push_back(name + " not made yet (the programs make it when they need it)");
        return;
    }
    if (!state.isFolder || !state.ownedByUs) {
        status = worse(status, Status::Failure);
        seen.push_back(name + (state.isFolder ? " belongs to another user" : " is not a folder"));
        fixes.push_back("move " + folder.string() + " away; the programs make it anew");
        return;
    }
    if (!state.writable) {
        status = worse(status, Status::Failure);
        seen.push_back(name + " not writable (mode " + octal(state.mode) + ")");
        fixes.push_back("chmod 700 " + folder.string());
        return;
    }
    if (!state.privateToUs) {
        status = worse(status, Status::Warning);
        seen.push_back(name + " open to others (mode " + octal(state.mode) + ")");
        fixes.push_back("chmod 700 " + folder.string());
        return;
    }
    seen.push_back(name + " private and writable");
}

std::string join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : "; ") + item;
    }
    return text;
}

// Is the local X11 display's socket there? (Remote displays, "host:0", are not looked at.)
bool x11SocketMissing(const std::string& display) {
    if (display.empty() || display.front() != ':') {
        return false;
    }
    const std::string number = display.substr(1, display.find('.') - 1);
    return !fs::exists("/tmp/.X11-unix/X" + number);
}

bool waylandSocketMissing(const std::string& name) {
    const fs::path socket = !name.empty() && name.front() == '/'
                                ? fs::path(name)
                                : platform::paths::xdgRuntimeDir() / name;
    return !fs::exists(socket);
}

}  // namespace

DoctorCheck checkUpdateServer(const std::string& baseUrl, bool offline,
                              const services::ServerProbeResult& probe) {
    using Stage = services::ServerProbeResult::Stage;
    if (baseUrl.empty()) {
        return {"update-server", Status::Warning,
                "no update server address is set: firmware and program updates cannot be found",
                "set ServerUrl in section Update of setting.xml (or AURALIS_UPDATE_URL)"};
    }
    if (offline) {
        return {"update-server", Status::Warning,
                "AURALIS_OFFLINE=1: the programs act as if there were no network", "unset it"};
    }
    const std::string host = probe.host + (probe.address.empty() ? "" : " (" + probe.address + ")");
    switch (probe.stage) {
        case Stage::Refused:
            return {
                "update-server", Status::Failure,
                baseUrl + " is not an address the programs use (https, or http on this machine)",
                "use an https address"};
        case Stage::Resolve:
            return {"update-server", Status::Failure,
                    "the name " + probe.host + " does not resolve",
                    "check the network connection and the name server (resolvectl status)"};
        case Stage::Connect:
            return {"update-server", Status::Failure,
                    "no connection to " + host + ": " + probe.error + " after " +
                        millis(probe.totalTime),
                    "check the network, a proxy or firewall in between"};
        case Stage::Tls:
            return {"update-server", Status::Failure,
                    "the TLS handshake with " + host + " failed: " + probe.error,
                    "check the computer's clock (date) and that ca-certificates is installed; a "
                    "proxy that opens TLS needs its certificate installed"};
        case Stage::Reached:
            break;
    }
    return {"update-server", Status::Ok,
            host + " resolved in " + millis(probe.resolveTime) + ", " +
                (probe.tls ? "TLS certificate verified" : "plain http on this machine") +
                ", connected in " + millis(probe.totalTime),
            ""};
}

DoctorCheck checkUpdateServer() {
    const std::string base = SWebApi::GetBaseUrl();
    const bool offline = environment("AURALIS_OFFLINE") == "1";
    services::ServerProbeResult probe;
    if (!base.empty() && !offline) {
        probe = services::probeServer(base + "/", kProbeTimeout);
    }
    return checkUpdateServer(base, offline, probe);
}

DoctorCheck checkFolders() {
    Status status = Status::Ok;
    std::vector<std::string> seen;
    std::vector<std::string> fixes;
    judgeFolder("settings", platform::paths::userFolder(), status, seen, fixes);
    judgeFolder("logs", platform::paths::logFolder(), status, seen, fixes);
    judgeFolder("temporary", platform::paths::tempFolder(), status, seen, fixes);
    platform::SingleInstanceLock lock("AuralisMutex");
    // Trying the lock would make the file (and its folder); a missing one is free anyway.
    if (!fs::exists(lock.lockFilePath())) {
        seen.push_back("lock " + lock.lockFilePath().string() + " free (not made yet)");
    } else if (lock.tryAcquire()) {
        lock.release();
        seen.push_back("lock " + lock.lockFilePath().string() +
                       " free (the window program is not running)");
    } else {
        seen.push_back("lock " + lock.lockFilePath().string() + " held (the window program runs)");
    }
    return {"folders", status, join(seen), join(fixes)};
}

DoctorCheck checkDisplay() {
    const std::string wayland = environment("WAYLAND_DISPLAY");
    const std::string x11 = environment("DISPLAY");
    const std::string driver = environment("SDL_VIDEODRIVER");
    const bool useWayland = driver == "wayland" || (x11.empty() && !wayland.empty());
    if (useWayland && !wayland.empty()) {
        if (waylandSocketMissing(wayland)) {
            return {"display", Status::Failure, "Wayland display " + wayland + " has no socket",
                    "start the program from the desktop session (WAYLAND_DISPLAY is stale)"};
        }
        return {"display", Status::Ok, "Wayland (" + wayland + ")", ""};
    }
    if (!x11.empty()) {
        if (x11SocketMissing(x11)) {
            return {"display", Status::Failure, "X11 display " + x11 + " has no socket",
                    "start the program from the desktop session (DISPLAY is stale)"};
        }
        return {"display", Status::Ok,
                "X11 (" + x11 + ")" + (wayland.empty() ? "" : "; Wayland " + wayland + " too"), ""};
    }
    return {"display", Status::Warning,
            "no display set (DISPLAY, WAYLAND_DISPLAY): the window program cannot open here; "
            "auralis-ctl works",
            "run the window program from a desktop session"};
}

}  // namespace ctl
