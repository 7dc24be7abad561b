#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <sdbus-c++/sdbus-c++.h>

namespace platform::bluetooth {

// What one method call to BlueZ came back with.
struct BluezReply {
    // Empty when the call succeeded; else the D-Bus error name (BlueZ's own, the bus's, or
    // org.freedesktop.DBus.Error.Timeout / .Disconnected made up here when no answer came).
    std::string errorName;
    std::string errorMessage;
    // The reply message of a successful call, to read the results from.
    std::optional<sdbus::MethodReply> reply;

    bool ok() const { return errorName.empty(); }
};

// The one D-Bus connection to the system bus that everything BlueZ calls back (agent, profiles,
// signals) is registered on: BlueZ keys agents and profiles on the caller's connection.
//
// Messages are dispatched on a thread of our own. Every call from the backend is sent
// asynchronously and waited for on the caller's thread, with its own time-out: a synchronous
// sdbus-c++ call would stop the dispatching (so a NewConnection that BlueZ sends before it
// answers ConnectProfile would never be handled), and a call made right after the loop started
// could miss it altogether. Never call call() on the dispatch thread (from a handler).
class BluezConnection {
public:
    using ArgumentWriter = std::function<void(sdbus::MethodCall&)>;

    // Opens the system bus ($DBUS_SYSTEM_BUS_ADDRESS when set). Null, with the reason in
    // error, when there is no bus to connect to.
    static std::unique_ptr<BluezConnection> open(std::string& error);
    ~BluezConnection();
    BluezConnection(const BluezConnection&) = delete;
    BluezConnection& operator=(const BluezConnection&) = delete;

    // For registering objects and matches; register before startLoop() where possible.
    sdbus::IConnection& bus() { return *m_bus; }

    // Starts dispatching incoming messages on the connection's own thread.
    void startLoop();
    // Stops dispatching and waits for the thread: no handler runs after this returns.
    void stopLoop();

    // True once the connection failed (the bus went away); calls then fail at once and the
    // backend opens a new connection.
    bool broken() const { return m_broken.load(); }

    // Calls method of interface on BlueZ's object at path and waits at most timeout (plus a
    // short grace for a reply the bus never delivers). Never throws.
    BluezReply call(const std::string& path, const std::string& interface,
                    const std::string& method, const ArgumentWriter& writeArguments,
                    std::chrono::milliseconds timeout);

private:
    struct PendingCall;

    explicit BluezConnection(std::unique_ptr<sdbus::IConnection> bus);
    void runLoop();
    void markBroken();

    std::unique_ptr<sdbus::IConnection> m_bus;
    std::thread m_loop;
    std::atomic<bool> m_broken{false};
    // Wakes callers waiting for replies, also when the connection breaks.
    std::mutex m_replyMutex;
    std::condition_variable m_replyArrived;
};

}  // namespace platform::bluetooth
