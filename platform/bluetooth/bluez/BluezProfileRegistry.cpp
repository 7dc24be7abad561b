#include "platform/bluetooth/bluez/BluezProfileRegistry.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/Log.h"

namespace platform::bluetooth {
namespace {

constexpr const char* kInterface = "org.bluez.Profile1";
constexpr const char* kPathPrefix = "/org/auralis/bluez/profile_";

// An object path element may hold only letters, digits and '_'.
std::string pathFor(const std::string& uuid) {
    std::string path = kPathPrefix + uuid;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(std::string(kPathPrefix).size()),
                 path.end(), '-', '_');
    return path;
}

}  // namespace

BluezProfileRegistry::BluezProfileRegistry(BluezConnection& connection)
    : m_connection(connection) {}

BluezProfileRegistry::~BluezProfileRegistry() {
    std::lock_guard lock(m_mutex);
    for (auto& [key, fd] : m_expected) {
        shutDownAndClose(fd);
    }
}

void BluezProfileRegistry::shutDownAndClose(int fd) {
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}

base::Result<std::string> BluezProfileRegistry::objectFor(const std::string& uuid,
                                                          std::chrono::milliseconds timeout) {
    const std::string path = pathFor(uuid);
    bool registered = false;
    base::Error error;
    const std::function<void()> create = [&] {
        if (m_objects.count(uuid) != 0) {
            registered = true;
            return;
        }
        try {
            auto object = sdbus::createObject(m_connection.bus(), path);
            registerMethods(*object, uuid);
            object->finishRegistration();
            m_objects.emplace(uuid, std::move(object));
            registered = true;
        } catch (const sdbus::Error& e) {
            error = base::Error(e.getName() + ": " + e.getMessage());
        }
    };
    if (!m_connection.runOnLoop(create, timeout)) {
        return base::Error("the connection to the system bus is lost");
    }
    if (!registered) {
        return std::move(error).within("putting " + path + " on the bus");
    }
    return path;
}

void BluezProfileRegistry::registerMethods(sdbus::IObject& object, const std::string& uuid) {
    object.registerMethod("NewConnection")
        .onInterface(kInterface)
        .implementedAs([this, uuid](const sdbus::ObjectPath& device, sdbus::UnixFd fd,
                                    const std::map<std::string, sdbus::Variant>& /*options*/) {
            onNewConnection(uuid, device, std::move(fd));
        });
    object.registerMethod("RequestDisconnection")
        .onInterface(kInterface)
        .implementedAs([this, uuid](const sdbus::ObjectPath& device) {
            onRequestDisconnection(uuid, device);
        });
    object.registerMethod("Release").onInterface(kInterface).implementedAs([uuid] {
        _Log(LOG_INFO, "BluezProfileRegistry::Release", __LINE__,
             "BlueZ released the profile for %s", uuid.c_str());
    });
}

void BluezProfileRegistry::expect(const std::string& uuid, const std::string& devicePath) {
    std::lock_guard lock(m_mutex);
    auto [entry, added] = m_expected.try_emplace({uuid, devicePath}, -1);
    if (!added) {
        // A connect that gave up on its socket earlier: start afresh.
        shutDownAndClose(entry->second);
        entry->second = -1;
    }
}

int BluezProfileRegistry::take(const std::string& uuid, const std::string& devicePath) {
    std::lock_guard lock(m_mutex);
    const auto entry = m_expected.find({uuid, devicePath});
    if (entry == m_expected.end()) {
        return -1;
    }
    const int fd = entry->second;
    m_expected.erase(entry);
    return fd;
}

void BluezProfileRegistry::track(const std::string& uuid, const std::string& devicePath,
                                 const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(m_mutex);
    m_open[{uuid, devicePath}] = connection;
}

void BluezProfileRegistry::onNewConnection(const std::string& uuid, const sdbus::ObjectPath& device,
                                           sdbus::UnixFd fd) {
    // The descriptor sdbus-c++ duplicated for us lacks close-on-exec: replace it by one that has
    // it before anything else, so a program started meanwhile does not inherit the link.
    const int received = fd.release();
    const int own = ::fcntl(received, F_DUPFD_CLOEXEC, 0);
    ::close(received);
    if (own < 0) {
        _Log(LOG_WARNING, "BluezProfileRegistry::onNewConnection", __LINE__,
             "cannot take the socket for %s: errno %d", device.c_str(), errno);
        throw sdbus::Error("org.bluez.Error.Rejected", "cannot take the socket");
    }
    {
        std::lock_guard lock(m_mutex);
        const auto entry = m_expected.find({uuid, device});
        if (entry != m_expected.end() && entry->second < 0) {
            entry->second = own;
            _Log(LOG_INFO, "BluezProfileRegistry::onNewConnection", __LINE__,
                 "socket %d for %s, service %s", entry->second, device.c_str(), uuid.c_str());
            return;
        }
    }
    _Log(LOG_WARNING, "BluezProfileRegistry::onNewConnection", __LINE__,
         "refused a socket for %s, service %s: no connect waits for it", device.c_str(),
         uuid.c_str());
    shutDownAndClose(own);
    throw sdbus::Error("org.bluez.Error.Rejected", "no connection was requested");
}

void BluezProfileRegistry::onRequestDisconnection(const std::string& uuid,
                                                  const sdbus::ObjectPath& device) {
    std::shared_ptr<Connection> connection;
    {
        std::lock_guard lock(m_mutex);
        const auto entry = m_open.find({uuid, device});
        if (entry != m_open.end()) {
            connection = entry->second.lock();
            m_open.erase(entry);
        }
    }
    _Log(LOG_INFO, "BluezProfileRegistry::onRequestDisconnection", __LINE__,
         "BlueZ asks to disconnect %s, service %s%s", device.c_str(), uuid.c_str(),
         connection ? "" : " (no open link)");
    if (connection) {
        // Closing before the reply: BlueZ closes its own copy once we have answered.
        connection->close();
    }
}

}  // namespace platform::bluetooth
