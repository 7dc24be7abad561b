#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "ctl/LinkEvents.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/Backend.h"

namespace ctl {

class Output;

// A command's own device link over the chosen backend, with its events. The link is shut down
// (its threads ended) when this object goes.
class CtlLink {
public:
    using Clock = LinkEvents::Clock;

    explicit CtlLink(const std::string& backendName);

    BluetoothHandle& handle() { return m_handle; }
    const std::string& backendName() const { return m_backendName; }

    // Every link event also goes to receiver (see LinkEvents::alsoTell).
    void alsoTell(IBluetoothHandleDelegate* receiver) { m_events.alsoTell(receiver); }

    // The next event, events held back while connecting first; nothing after the deadline.
    std::optional<LinkEvent> next(Clock::time_point deadline);

    // Runs the link's support check. False, after saying so on stderr, when there is no
    // Bluetooth to use.
    bool checkBluetooth(Output& output);

    // Finds the device by discovery (until the address shows up or the deadline passes) and
    // connects to it. Null, after saying why, when it is not found or the connect fails.
    BluetoothDevice* connect(uint64_t address, Clock::time_point deadline, Output& output);

private:
    std::string m_backendName;
    std::deque<LinkEvent> m_heldBack;
    // Declared before the link: the link's threads deliver into it until the link is gone.
    LinkEvents m_events;
    BluetoothHandle m_handle;
};

}  // namespace ctl
