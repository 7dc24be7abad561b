#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/BluetoothHandle.h"
#include "link/LinkEventQueue.h"
#include "platform/bluetooth/Backend.h"

namespace ctl {

class Output;

// A command's own device link over the chosen backend, with its events. The link is shut down
// (its threads ended) when this object goes.
class CtlLink {
public:
    using Clock = LinkEventQueue::Clock;
    // The Bluetooth backend of a name ("bluez", "sim").
    using BackendMaker =
        std::function<std::shared_ptr<platform::bluetooth::Backend>(const std::string& name)>;

    // How links get their backend by name; auralis-ctl's main installs it. Without one every
    // link's Bluetooth is unavailable.
    static void InstallBackends(BackendMaker maker);

    explicit CtlLink(const std::string& backendName);

    BluetoothHandle& handle() { return m_handle; }
    const std::string& backendName() const { return m_backendName; }

    // Every link event also goes to receiver (see LinkEventQueue::alsoTell).
    void alsoTell(IBluetoothHandleDelegate* receiver) { m_events.alsoTell(receiver); }

    // The next event, events held back while connecting first; nothing after the deadline or
    // once the command is interrupted.
    std::optional<LinkEvent> next(Clock::time_point deadline);

    // Runs the link's support check. False, after saying so on stderr, when there is no
    // Bluetooth to use.
    bool checkBluetooth(Output& output);

    // Finds the device by discovery (until the address shows up or the deadline passes) and
    // connects to it. Null, after saying why, when it is not found or the connect fails.
    BluetoothDevice* connect(uint64_t address, Clock::time_point deadline, Output& output);

    // The preamble of every command that talks to earbuds: checkBluetooth(), then connect()
    // within the given time, counted from the end of the check. Null, after saying why, when
    // either step fails. deadline, when given, receives the end of that time.
    BluetoothDevice* checkAndConnect(uint64_t address, std::chrono::seconds within, Output& output,
                                     Clock::time_point* deadline = nullptr);

private:
    // The next event of the link, nothing after the deadline or once the command is
    // interrupted (see Interruption).
    std::optional<LinkEvent> waitForEvent(Clock::time_point deadline);

    std::string m_backendName;
    std::deque<LinkEvent> m_heldBack;
    // Declared before the link: the link's threads deliver into it until the link is gone.
    LinkEventQueue m_events;
    BluetoothHandle m_handle;
};

}  // namespace ctl
