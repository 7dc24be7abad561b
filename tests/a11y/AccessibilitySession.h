#pragma once

#include <filesystem>
#include <string>

#include "tests/common/ChildProcess.h"

namespace a11y_test {

// A private D-Bus session for the programs a test starts, as on a desktop with accessibility
// on: the accessibility bus and the registry start by D-Bus activation when a program or a
// client first asks for them. Its daemons keep their sockets in a folder of their own, so that
// sessions running side by side never meet. Ending it (the destructor) ends them all: the
// accessibility bus's launcher leaves with the session bus, the registry with the
// accessibility bus.
class AccessibilitySession {
public:
    // Starts the session bus with its files under folder; false when dbus-daemon is missing or
    // did not start within 10 s.
    bool start(const std::filesystem::path& folder);
    // The bus's address, for DBUS_SESSION_BUS_ADDRESS; empty before start() succeeded.
    const std::string& address() const { return m_address; }
    // The environment entry that puts a program into this session.
    std::string environmentEntry() const { return "DBUS_SESSION_BUS_ADDRESS=" + m_address; }

private:
    testing_support::ChildProcess m_daemon;
    std::string m_address;
};

}  // namespace a11y_test
