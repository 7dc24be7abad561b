#pragma once

#include <memory>
#include <mutex>
#include <string>

#include <sdbus-c++/sdbus-c++.h>

namespace platform::bluetooth {

// Our org.bluez.Agent1: it answers the authentication requests of a pairing we started, without
// asking anybody, and only for that device.
//
// BlueZ sends a pairing's requests to the agent registered by the connection that called
// Pair(), so the backend registers this object (RegisterAgent, never RequestDefaultAgent) just
// for the pairing. Even so an agent is reachable by BlueZ for any device while registered; every
// request for a device other than the target, or while no pairing runs, is rejected with
// org.bluez.Error.Rejected.
class BluezAgent {
public:
    static constexpr const char* kPath = "/org/auralis/bluez/agent";
    // Lets numeric comparison and just-works pairings through without ever asking us to type
    // a passkey the earbuds show (they show none).
    static constexpr const char* kCapability = "DisplayYesNo";
    // Legacy pairing: the code earbuds without a keypad use.
    static constexpr const char* kPinCode = "0000";

    // Registers the object on bus (before its dispatch loop starts). Throws sdbus::Error.
    explicit BluezAgent(sdbus::IConnection& bus);
    ~BluezAgent();
    BluezAgent(const BluezAgent&) = delete;
    BluezAgent& operator=(const BluezAgent&) = delete;

    // The BlueZ object path of the device being paired; empty: none (reject everything).
    void setTarget(const std::string& devicePath);

private:
    // Returns when the request concerns the target; throws org.bluez.Error.Rejected otherwise.
    void admit(const sdbus::ObjectPath& device, const char* request) const;
    void registerMethods();

    std::unique_ptr<sdbus::IObject> m_object;
    mutable std::mutex m_mutex;
    std::string m_target;
};

}  // namespace platform::bluetooth
