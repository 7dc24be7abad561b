#include "platform/bluetooth/bluez/BluezSession.h"

namespace platform::bluetooth {

std::shared_ptr<BluezSession> BluezSession::open(std::string& error) {
    std::shared_ptr<BluezSession> session(new BluezSession());
    session->m_connection = BluezConnection::open(error);
    if (!session->m_connection) {
        return nullptr;
    }
    try {
        sdbus::IConnection& bus = session->m_connection->bus();
        session->m_agent = std::make_unique<BluezAgent>(bus);
        session->m_profiles = std::make_unique<BluezProfileRegistry>(*session->m_connection);
    } catch (const sdbus::Error& e) {
        error = e.getName() + ": " + e.getMessage();
        return nullptr;
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
