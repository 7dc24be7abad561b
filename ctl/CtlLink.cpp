#include "ctl/CtlLink.h"

#include "ctl/Output.h"
#include "ctl/TerminalText.h"
#include "platform/bluetooth/BackendFactory.h"
#include "platform/bluetooth/BluetoothAddress.h"

namespace ctl {
namespace {

// The support check takes at most three radio checks a second apart, each bounded by the
// backend's own request time-out.
constexpr std::chrono::seconds kSupportCheckBound{30};
// A connect attempt is bounded by the backend's time-outs (pairing, then connecting).
constexpr std::chrono::seconds kConnectBound{30};

}  // namespace

CtlLink::CtlLink(const std::string& backendName)
    : m_backendName(backendName), m_handle(platform::bluetooth::createBackend(backendName)) {
    m_handle.setDelegate(&m_events);
}

std::optional<LinkEvent> CtlLink::next(Clock::time_point deadline) {
    if (!m_heldBack.empty()) {
        LinkEvent event = std::move(m_heldBack.front());
        m_heldBack.pop_front();
        return event;
    }
    return m_events.next(deadline);
}

bool CtlLink::checkBluetooth(Output& output) {
    m_handle.CheckSupportBluetooth();
    const Clock::time_point deadline = Clock::now() + kSupportCheckBound;
    while (std::optional<LinkEvent> event = m_events.next(deadline)) {
        if (event->kind != LinkEvent::Kind::Support) {
            continue;
        }
        if (!event->flag) {
            output.error("Bluetooth is not available (backend " + m_backendName + ")");
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
        std::optional<LinkEvent> event = m_events.next(deadline);
        if (!event) {
            m_handle.StopFindDevice();
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
    while (std::optional<LinkEvent> event = m_events.next(connectDeadline)) {
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
