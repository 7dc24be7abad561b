#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "base/Error.h"

namespace platform::bluetooth {

// What one method call to BlueZ came back with.
struct BluezReply {
    // Empty when the call succeeded; else the D-Bus error name (BlueZ's own, the bus's, or
    // org.freedesktop.DBus.Error.Timeout / .Disconnected / .InvalidSignature made up here when
    // no answer came or the answer could not be read).
    std::string errorName;
    std::string errorMessage;

    bool ok() const { return errorName.empty(); }
};

// The one D-Bus connection to the system bus that everything BlueZ calls back (agent, profiles)
// is registered on: BlueZ keys agents and profiles on the caller's connection.
//
// sd-bus is not thread-safe, so one thread of ours does everything with the connection: it
// dispatches incoming messages, sends our calls and registers objects. Other threads hand it
// work (runOnLoop) and wait for the replies (call). Every call is sent asynchronously, so the
// thread keeps dispatching while BlueZ works: BlueZ calls our Profile1.NewConnection before it
// answers ConnectProfile, which a synchronous call would never let through.
class BluezConnection {
public:
    using ArgumentWriter = std::function<void(sdbus::MethodCall&)>;
    // Reads the results out of a successful reply; false when they have an unexpected shape.
    using ReplyReader = std::function<bool(sdbus::MethodReply&)>;

    // Opens the system bus ($DBUS_SYSTEM_BUS_ADDRESS when set). The reason when there is no bus
    // to connect to ("connecting to the system bus: org.freedesktop.DBus.Error…: …").
    static base::Result<std::unique_ptr<BluezConnection>> open();
    ~BluezConnection();
    BluezConnection(const BluezConnection&) = delete;
    BluezConnection& operator=(const BluezConnection&) = delete;

    // For registering objects before startLoop(); afterwards only inside runOnLoop().
    sdbus::IConnection& bus() { return *m_bus; }

    // Starts the connection's thread.
    void startLoop();
    // Ends the thread and waits for it: no handler runs after this returns.
    void stopLoop();

    // True once the connection failed (the bus went away); calls then fail at once and the
    // backend opens a new connection.
    bool broken() const { return m_broken.load(); }

    // Runs job on the connection's thread and waits until it ran. False, without running it,
    // when the thread is not running or did not take the job within timeout. The job must not
    // block (it holds up every message of the connection).
    bool runOnLoop(const std::function<void()>& job, std::chrono::milliseconds timeout);

    // Calls method of interface on BlueZ's object at path and waits at most timeout (plus a
    // short grace for a reply the bus never delivers). writeArguments and readResults run on
    // the connection's thread (messages never leave it), and only while call() waits: a reply
    // that comes after call() gave up is not read. Never throws. Never call it from a handler.
    BluezReply call(const std::string& path, const std::string& interface,
                    const std::string& method, const ArgumentWriter& writeArguments,
                    std::chrono::milliseconds timeout, const ReplyReader& readResults = nullptr);

private:
    struct Job;
    struct PendingCall;

    BluezConnection(std::unique_ptr<sdbus::IConnection> bus, int wakeFd);
    void runLoop();
    void dispatchOnce();
    void runJobs();
    void wake();
    void finishLoop();
    void sendCall(const std::shared_ptr<PendingCall>& pending, const std::string& path,
                  const std::string& interface, const std::string& method,
                  const ArgumentWriter& writeArguments, std::chrono::milliseconds timeout);
    void finishCall(PendingCall& pending, sdbus::MethodReply& reply, const sdbus::Error* error);

    std::unique_ptr<sdbus::IConnection> m_bus;
    const int m_wakeFd;
    std::thread m_loop;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_broken{false};

    // Guards the job queue, the loop's running state and every PendingCall.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_running = false;

    // Touched by the connection's thread only: the proxies of calls in flight, by call number,
    // and the calls answered since they were last cleaned up.
    uint64_t m_lastCall = 0;
    std::map<uint64_t, std::unique_ptr<sdbus::IProxy>> m_calls;
    std::vector<uint64_t> m_answered;
};

}  // namespace platform::bluetooth
