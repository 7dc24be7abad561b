#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include <sdbus-c++/sdbus-c++.h>

#include "base/Error.h"
#include "platform/bluetooth/Connection.h"
#include "platform/bluetooth/bluez/BluezConnection.h"

namespace platform::bluetooth {

// Our org.bluez.Profile1 objects, one per service class id (BlueZ refuses a second profile on
// the same object path), and the sockets BlueZ hands them.
//
// Device1.ConnectProfile makes BlueZ connect RFCOMM and then call NewConnection on the profile
// object registered for that id, with the socket; BlueZ answers ConnectProfile only after
// NewConnection returned. A connect therefore announces itself first (expect), and takes the
// socket once ConnectProfile has answered (take). Sockets nobody waits for are refused.
class BluezProfileRegistry {
public:
    explicit BluezProfileRegistry(BluezConnection& connection);
    // Shuts down and closes sockets that arrived but were never taken.
    ~BluezProfileRegistry();
    BluezProfileRegistry(const BluezProfileRegistry&) = delete;
    BluezProfileRegistry& operator=(const BluezProfileRegistry&) = delete;

    // The path of the profile object for uuid (lower-case text), created on first use (on the
    // connection's thread); the reason when it cannot be registered.
    base::Result<std::string> objectFor(const std::string& uuid, std::chrono::milliseconds timeout);

    // A connect of the device (BlueZ object path) to uuid is about to start.
    void expect(const std::string& uuid, const std::string& devicePath);
    // Ends the wait: the socket that arrived (the caller owns it now), or -1.
    int take(const std::string& uuid, const std::string& devicePath);

    // The open link to close when BlueZ asks for a disconnection (RequestDisconnection, e.g.
    // someone disconnected the profile from the desktop).
    void track(const std::string& uuid, const std::string& devicePath,
               const std::shared_ptr<Connection>& connection);

    // shutdown() before close(): BlueZ keeps its own reference to the socket and drops the
    // link only when it sees the hang-up.
    static void shutDownAndClose(int fd);

private:
    using Key = std::pair<std::string, std::string>;  // (uuid, device path)

    void registerMethods(sdbus::IObject& object, const std::string& uuid);
    void onNewConnection(const std::string& uuid, const sdbus::ObjectPath& device,
                         sdbus::UnixFd fd);
    void onRequestDisconnection(const std::string& uuid, const sdbus::ObjectPath& device);

    BluezConnection& m_connection;
    // Touched on the connection's thread only.
    std::map<std::string, std::unique_ptr<sdbus::IObject>> m_objects;  // by uuid
    // Guards the sockets; taken by the handlers on the dispatch thread.
    std::mutex m_mutex;
    std::map<Key, int> m_expected;  // -1 until the socket arrives
    std::map<Key, std::weak_ptr<Connection>> m_open;
};

}  // namespace platform::bluetooth
