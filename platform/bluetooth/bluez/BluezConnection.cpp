#include "platform/bluetooth/bluez/BluezConnection.h"

#include "services/Log.h"

namespace platform::bluetooth {
namespace {

constexpr const char* kService = "org.bluez";
// A reply the bus owes us past the call's own time-out (sd-bus enforces that time-out only
// when the dispatch thread wakes up) counts as lost after this much longer.
constexpr std::chrono::milliseconds kReplyGrace{1000};

}  // namespace

struct BluezConnection::PendingCall {
    bool done = false;
    BluezReply result;
};

BluezConnection::BluezConnection(std::unique_ptr<sdbus::IConnection> bus) : m_bus(std::move(bus)) {}

BluezConnection::~BluezConnection() {
    stopLoop();
}

std::unique_ptr<BluezConnection> BluezConnection::open(std::string& error) {
    try {
        return std::unique_ptr<BluezConnection>(
            new BluezConnection(sdbus::createSystemBusConnection()));
    } catch (const sdbus::Error& e) {
        error = e.getName() + ": " + e.getMessage();
    } catch (const std::exception& e) {
        error = e.what();
    }
    return nullptr;
}

void BluezConnection::startLoop() {
    if (!m_loop.joinable()) {
        m_loop = std::thread([this] { runLoop(); });
    }
}

void BluezConnection::stopLoop() {
    if (!m_loop.joinable()) {
        return;
    }
    try {
        m_bus->leaveEventLoop();
    } catch (const std::exception& e) {
        // The loop may have ended on its own already (a broken connection).
        _Log(LOG_INFO, "BluezConnection::stopLoop", __LINE__, "leaving the D-Bus loop: %s",
             e.what());
    }
    m_loop.join();
}

void BluezConnection::runLoop() {
    try {
        m_bus->enterEventLoop();
        return;
    } catch (const sdbus::Error& e) {
        _Log(LOG_WARNING, "BluezConnection::runLoop", __LINE__,
             "D-Bus connection to the system bus lost: %s: %s", e.getName().c_str(),
             e.getMessage().c_str());
    } catch (const std::exception& e) {
        _Log(LOG_WARNING, "BluezConnection::runLoop", __LINE__,
             "D-Bus connection to the system bus lost: %s", e.what());
    }
    markBroken();
}

void BluezConnection::markBroken() {
    std::lock_guard lock(m_replyMutex);
    m_broken.store(true);
    m_replyArrived.notify_all();
}

BluezReply BluezConnection::call(const std::string& path, const std::string& interface,
                                 const std::string& method, const ArgumentWriter& writeArguments,
                                 std::chrono::milliseconds timeout) {
    if (broken()) {
        return {.errorName = "org.freedesktop.DBus.Error.Disconnected",
                .errorMessage = "the connection to the system bus is lost",
                .reply = std::nullopt};
    }
    auto pending = std::make_shared<PendingCall>();
    // Declared before the wait: destroying the proxy cancels a call that never got its reply.
    std::unique_ptr<sdbus::IProxy> proxy;
    try {
        proxy = sdbus::createProxy(*m_bus, kService, path);
        sdbus::MethodCall message = proxy->createMethodCall(interface, method);
        if (writeArguments) {
            writeArguments(message);
        }
        auto onReply = [this, pending](sdbus::MethodReply& reply, const sdbus::Error* error) {
            std::lock_guard lock(m_replyMutex);
            if (error != nullptr) {
                pending->result.errorName =
                    error->getName().empty() ? "org.bluez.Error.Failed" : error->getName();
                pending->result.errorMessage = error->getMessage();
            } else {
                pending->result.reply = reply;
            }
            pending->done = true;
            m_replyArrived.notify_all();
        };
        proxy->callMethod(message, std::move(onReply), timeout);
    } catch (const sdbus::Error& e) {
        return {.errorName = e.getName(), .errorMessage = e.getMessage(), .reply = std::nullopt};
    } catch (const std::exception& e) {
        return {
            .errorName = "org.bluez.Error.Failed", .errorMessage = e.what(), .reply = std::nullopt};
    }

    std::unique_lock lock(m_replyMutex);
    const bool answered = m_replyArrived.wait_for(lock, timeout + kReplyGrace,
                                                  [&] { return pending->done || m_broken.load(); });
    if (pending->done) {
        return std::move(pending->result);
    }
    if (answered) {
        return {.errorName = "org.freedesktop.DBus.Error.Disconnected",
                .errorMessage = "the connection to the system bus is lost",
                .reply = std::nullopt};
    }
    return {.errorName = "org.freedesktop.DBus.Error.Timeout",
            .errorMessage = method + " got no answer in time",
            .reply = std::nullopt};
}

}  // namespace platform::bluetooth
