#pragma once

#include <memory>
#include <string>

#include "base/Error.h"
#include "platform/bluetooth/bluez/BluezAgent.h"
#include "platform/bluetooth/bluez/BluezConnection.h"
#include "platform/bluetooth/bluez/BluezProfileRegistry.h"

namespace platform::bluetooth {

// Everything that lives on one connection to the system bus: the connection with its dispatch
// thread, the agent and the profile objects. When the connection breaks
// the backend replaces the whole session.
class BluezSession {
public:
    // Connects and registers everything. The reason when there is no system bus (or registering
    // on it failed).
    static base::Result<std::shared_ptr<BluezSession>> open();
    // Stops dispatching before the objects it dispatches to go away.
    ~BluezSession();
    BluezSession(const BluezSession&) = delete;
    BluezSession& operator=(const BluezSession&) = delete;

    BluezConnection& connection() { return *m_connection; }
    BluezAgent& agent() { return *m_agent; }
    BluezProfileRegistry& profiles() { return *m_profiles; }

    bool broken() const { return m_connection->broken(); }

private:
    BluezSession() = default;

    // Declared first: destroyed last, after everything registered on it.
    std::unique_ptr<BluezConnection> m_connection;
    std::unique_ptr<BluezAgent> m_agent;
    std::unique_ptr<BluezProfileRegistry> m_profiles;
};

}  // namespace platform::bluetooth
