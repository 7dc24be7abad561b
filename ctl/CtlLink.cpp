#include "ctl/CtlLink.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "ctl/Interruption.h"
#include "ctl/Output.h"
#include "ctl/TerminalText.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/SimSocketPath.h"
#include "platform/bluetooth/UnavailableBackend.h"

namespace ctl {
namespace {

// The support check takes at most three radio checks a second apart, each bounded by the
// backend's own request time-out.
constexpr std::chrono::seconds kSupportCheckBound{30};
// A connect attempt is bounded by the backend's time-outs (pairing, then connecting).
constexpr std::chrono::seconds kConnectBound{30};
// How often a wait for the link looks whether the user interrupted the command.
constexpr std::chrono::milliseconds kInterruptionCheck{200};

// Whether anything accepts connections on the simulator's socket.
bool simulatorListens(const std::filesystem::path& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketPath.string();
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool listens =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return listens;
}

// Why Bluetooth cannot be used, naming what was tried: for the virtual earbuds, the socket where
// no simulator answered (the usual cause: auralis-sim is not running, or runs with another
// runtime folder).
std::string unavailableText(const std::string& backendName) {
    std::string text = "Bluetooth is not available (backend " + backendName + ")";
    if (backendName == "sim") {
        const std::filesystem::path socket = platform::bluetooth::defaultSimSocketPath();
        text += simulatorListens(socket)
                    ? ": the simulator at " + socket.string() + " has its radio off"
                    : ": no auralis-sim answers on " + socket.string() +
                          " (start auralis-sim, or set AURALIS_SIM_SOCKET to its socket)";
    }
    return text;
}

std::mutex g_backendsMutex;
CtlLink::BackendMaker g_backends;

std::shared_ptr<platform::bluetooth::Backend> makeBackend(const std::string& name) {
    std::lock_guard lock(g_backendsMutex);
    if (g_backends) {
        return g_backends(name);
    }
    return std::make_shared<platform::bluetooth::UnavailableBackend>(
        name, "no Bluetooth backend installed");
}

}  // namespace

void CtlLink::InstallBackends(BackendMaker maker) {
    std::lock_guard lock(g_backendsMutex);
    g_backends = std::move(maker);
}

CtlLink::CtlLink(const std::string& backendName)
    : m_backendName(backendName), m_handle(makeBackend(backendName)) {
    m_handle.addReceiver(&m_events);
}

std::optional<LinkEvent> CtlLink::next(Clock::time_point deadline) {
    if (!m_heldBack.empty()) {
        LinkEvent event = std::move(m_heldBack.front());
        m_heldBack.pop_front();
        return event;
    }
    return waitForEvent(deadline);
}

std::optional<LinkEvent> CtlLink::waitForEvent(Clock::time_point deadline) {
    // Waits in short slices so that an interruption (Ctrl-C) ends the wait soon.
    while (!Interruption::requested()) {
        const Clock::time_point slice = std::min(deadline, Clock::now() + kInterruptionCheck);
        if (std::optional<LinkEvent> event = m_events.next(slice)) {
            return event;
        }
        if (slice >= deadline) {
            break;
        }
    }
    return std::nullopt;
}

bool CtlLink::checkBluetooth(Output& output) {
    m_handle.CheckSupportBluetooth();
    const Clock::time_point deadline = Clock::now() + kSupportCheckBound;
    while (std::optional<LinkEvent> event = waitForEvent(deadline)) {
        if (event->kind != LinkEvent::Kind::Support) {
            continue;
        }
        if (!event->flag) {
            output.error(unavailableText(m_backendName));
        }
        return event->flag;
    }
    output.error("the Bluetooth check did not finish (backend " + m_backendName + ")");
    return false;
}

BluetoothDevice* CtlLink::connect(uint64_t address, Clock::time_point deadline, Output& output) {
    const std::string text = platform::bluetooth::formatAddress(address);
    BluetoothDevice* device = nullptr;
    m_handle.StartFindDevice();
    while (device == nullptr) {
        std::optional<LinkEvent> event = waitForEvent(deadline);
        if (!event) {
            m_handle.StopFindDevice();
            if (Interruption::requested()) {
                output.error("interrupted while looking for " + text);
                return nullptr;
            }
            output.error(text + " was not found (are the earbuds in range, and is their name " +
                         "one with \"Auralis\" in it?)");
            return nullptr;
        }
        if (event->kind == LinkEvent::Kind::Found) {
            const auto found = event->devices.find(address);
            device = found != event->devices.end() ? found->second : nullptr;
        }
    }
    m_handle.StopFindDevice();

    m_handle.ConnectToDevice(device);
    const Clock::time_point connectDeadline = std::max(deadline, Clock::now() + kConnectBound);
    while (std::optional<LinkEvent> event = waitForEvent(connectDeadline)) {
        if (event->kind == LinkEvent::Kind::Found) {
            continue;
        }
        if (event->kind != LinkEvent::Kind::Connected) {
            // Reports that came in before the connect event belong to the command.
            m_heldBack.push_back(std::move(*event));
            continue;
        }
        if (event->flag) {
            return device;
        }
        break;
    }
    output.error("cannot connect to " + printable(device->name) + " (" + text + ")");
    return nullptr;
}

BluetoothDevice* CtlLink::checkAndConnect(uint64_t address, std::chrono::seconds within,
                                          Output& output, Clock::time_point* deadline) {
    if (!checkBluetooth(output)) {
        return nullptr;
    }
    const Clock::time_point end = Clock::now() + within;
    if (deadline != nullptr) {
        *deadline = end;
    }
    return connect(address, end, output);
}

}  // namespace ctl
