#include "platform/bluetooth/bluez/BluezSession.h"

namespace platform::bluetooth {

base::Result<std::shared_ptr<BluezSession>> BluezSession::open() {
    base::Result<std::unique_ptr<BluezConnection>> connection = BluezConnection::open();
    if (!connection.ok()) {
        return connection.error();
    }
    std::shared_ptr<BluezSession> session(new BluezSession());
    session->m_connection = std::move(connection.value());
    try {
        sdbus::IConnection& bus = session->m_connection->bus();
        session->m_agent = std::make_unique<BluezAgent>(bus);
        session->m_profiles = std::make_unique<BluezProfileRegistry>(*session->m_connection);
    } catch (const sdbus::Error& e) {
        return base::Error(e.getName() + ": " + e.getMessage())
            .within("registering the agent and the profiles");
    }
    session->m_connection->startLoop();
    return session;
}

BluezSession::~BluezSession() {
    if (m_connection) {
        m_connection->stopLoop();
    }
}

}  // namespace platform::bluetooth
