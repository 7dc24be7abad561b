#include "platform/bluetooth/bluez/BluezBackend.h"

#include <bluetooth/bluetooth.h>
#include <fcntl.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <map>
#include <optional>
#include <thread>

#include "base/Log.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/FdConnection.h"
#include "platform/bluetooth/bluez/BluezDiscovery.h"
#include "platform/bluetooth/bluez/BluezErrorMap.h"
#include "platform/bluetooth/bluez/BluezObjectTree.h"
#include "platform/bluetooth/bluez/BluezRfcommDialer.h"
#include "platform/bluetooth/bluez/BluezSession.h"

namespace platform::bluetooth {
namespace {

using Properties = std::map<std::string, sdbus::Variant>;

constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kDeviceInterface = "org.bluez.Device1";
constexpr const char* kAgentManager = "org.bluez.AgentManager1";
constexpr const char* kProfileManager = "org.bluez.ProfileManager1";
constexpr const char* kBluezRoot = "/org/bluez";
constexpr const char* kProfileName = "Auralis Manager";

// "0000110A-..." → "0000110a-...": BlueZ compares registered ids as text. Empty when the text
// is not a 128-bit UUID.
std::string normaliseUuid(const std::string& text) {
    constexpr std::size_t kLength = 36;
    if (text.size() != kLength) {
        return {};
    }
    std::string uuid = text;
    for (std::size_t i = 0; i < kLength; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const unsigned char c = static_cast<unsigned char>(uuid[i]);
        if (dash ? c != '-' : !std::isxdigit(c)) {
            return {};
        }
        uuid[i] = static_cast<char>(std::tolower(c));
    }
    return uuid;
}

// The socket BlueZ hands over shares its open file with bluetoothd's copy, which BlueZ keeps
// non-blocking; the link reads it blocking. (Close-on-exec was set when it arrived.)
void makeBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) != 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
}

// The link speaks a byte stream over RFCOMM. A record that names an L2CAP PSM makes BlueZ hand
// over an L2CAP (packet) socket instead, which would cut frames apart. Empty when fd is fine,
// else what is wrong with it. (Sockets of the local stand-in for the earbuds are Unix streams.)
std::string streamSocketProblem(int fd) {
    int type = 0;
    socklen_t length = sizeof(type);
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0) {
        return "not a socket";
    }
    if (type != SOCK_STREAM) {
        return "socket type " + std::to_string(type) + " instead of a stream";
    }
    int domain = 0;
    length = sizeof(domain);
    int protocol = 0;
    socklen_t protocolLength = sizeof(protocol);
    if (::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0 && domain == AF_BLUETOOTH &&
        (::getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &protocolLength) != 0 ||
         protocol != BTPROTO_RFCOMM)) {
        return "Bluetooth protocol " + std::to_string(protocol) + " instead of RFCOMM";
    }
    return {};
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text.empty() ? "none" : text;
}

}  // namespace

struct BluezBackend::Context {
    std::shared_ptr<BluezSession> session;
    BluezObjectTree tree;
    const BluezAdapterInfo* adapter = nullptr;

    BluezReply call(const std::string& path, const char* interface, const char* method,
                    const BluezConnection::ArgumentWriter& writeArguments,
                    std::chrono::milliseconds timeout) const {
        return session->connection().call(path, interface, method, writeArguments, timeout);
    }

    // BlueZ's adapters and devices, read into into.
    BluezReply readObjects(BluezObjectTree& into, std::chrono::milliseconds timeout) const {
        return session->connection().call(
            "/", kObjectManager, "GetManagedObjects", nullptr, timeout,
            [&into](sdbus::MethodReply& reply) { return into.read(reply); });
    }
};

namespace {

// Logs a failed call and turns it into the operation's result code.
int failed(BluezOperation operation, const char* method, const char* what,
           const BluezReply& reply) {
    const int code = mapBluezError(operation, reply.errorName, reply.errorMessage);
    _Log(LOG_WARNING, method, __LINE__, "%s failed: %s: %s (result %d)", what,
         reply.errorName.c_str(), reply.errorMessage.c_str(), code);
    return code;
}

}  // namespace

BluezBackend::BluezBackend(BluezOptions options)
    : BluezBackend(options, BluezRfcommDialer::create()) {}

BluezBackend::BluezBackend(BluezOptions options, std::unique_ptr<BluezRfcommDialer> dialer)
    : m_options(options),
      m_dialer(std::move(dialer)),
      m_discovery(std::make_unique<BluezDiscovery>(options)) {}

BluezBackend::~BluezBackend() = default;

std::shared_ptr<BluezSession> BluezBackend::session() {
    std::lock_guard lock(m_sessionMutex);
    if (m_session && !m_session->broken()) {
        return m_session;
    }
    if (m_session) {
        _Log(LOG_INFO, "BluezBackend::session", __LINE__,
             "the connection to the system bus broke; connecting again");
    }
    base::Result<std::shared_ptr<BluezSession>> opened = BluezSession::open();
    if (opened.ok()) {
        m_session = std::move(opened.value());
    } else {
        m_session.reset();
        _Log(LOG_WARNING, "BluezBackend::session", __LINE__,
             "Bluetooth is not available: no system bus to reach BlueZ on (%s)",
             opened.error().message().c_str());
    }
    return m_session;
}

int BluezBackend::prepare(BluezOperation operation, const char* method, Context& context) {
    context.session = session();
    if (!context.session) {
        return ENOSYS;
    }
    const BluezReply reply = context.readObjects(context.tree, m_options.callTimeout);
    if (!reply.ok()) {
        if (isBluezUnreachable(reply.errorName)) {
            _Log(LOG_WARNING, method, __LINE__,
                 "BlueZ is not running: org.bluez cannot be reached on the system bus (%s: %s)",
                 reply.errorName.c_str(), reply.errorMessage.c_str());
            return mapBluezError(operation, reply.errorName, reply.errorMessage);
        }
        return failed(operation, method, "reading BlueZ's objects", reply);
    }
    context.adapter = context.tree.chosenAdapter();
    if (context.adapter == nullptr) {
        _Log(LOG_WARNING, method, __LINE__, "no Bluetooth adapter: BlueZ runs but has none");
        return ENODEV;
    }
    if (!context.adapter->powered) {
        _Log(LOG_WARNING, method, __LINE__, "the Bluetooth adapter %s is switched off",
             context.adapter->path.c_str());
        return ENODEV;
    }
    return kOk;
}

int BluezBackend::checkRadio() {
    Context context;
    const int code = prepare(BluezOperation::Radio, "BluezBackend::checkRadio", context);
    if (code == kOk) {
        _Log(LOG_INFO, "BluezBackend::checkRadio", __LINE__, "adapter %s is powered",
             context.adapter->path.c_str());
    }
    return code;
}

ScanResult BluezBackend::scan() {
    std::lock_guard lock(m_scanMutex);
    Context context;
    ScanResult result;
    result.code = prepare(BluezOperation::Scan, "BluezBackend::scan", context);
    if (result.code == kOk) {
        result = m_discovery->report(context.session, context.adapter->path);
    }
    if (result.code != kOk) {
        result.devices.clear();
        return result;
    }
    _Log(LOG_INFO, "BluezBackend::scan", __LINE__,
         "discovery on %s: %zu devices in range or paired", context.adapter->path.c_str(),
         result.devices.size());
    return result;
}

int BluezBackend::pair(uint64_t address) {
    std::lock_guard lock(m_pairMutex);
    // An inquiry running beside the pairing's paging only slows it down.
    m_discovery->stop();
    Context context;
    if (const int code = prepare(BluezOperation::Pair, "BluezBackend::pair", context);
        code != kOk) {
        return code;
    }
    const BluezDeviceInfo* device = context.tree.findDevice(address, context.adapter->path);
    if (device == nullptr) {
        _Log(LOG_WARNING, "BluezBackend::pair", __LINE__,
             "%s is not known to BlueZ (not found by a recent discovery)",
             formatAddress(address).c_str());
        return EHOSTDOWN;
    }
    const std::string devicePath = device->path;
    const bool trusted = device->trusted;
    const int code = pairWithAgent(context, devicePath);
    if (code == kOk || (code == kErrorAlreadyPaired && !trusted)) {
        trust(context, devicePath);
    }
    return code;
}

int BluezBackend::pairWithAgent(Context& context, const std::string& devicePath) {
    BluezReply reply = context.call(
        kBluezRoot, kAgentManager, "RegisterAgent",
        [](sdbus::MethodCall& call) {
            call << sdbus::ObjectPath(BluezAgent::kPath) << std::string(BluezAgent::kCapability);
        },
        m_options.callTimeout);
    // AlreadyExists: still registered from a pairing whose unregistration got lost.
    if (!reply.ok() && reply.errorName != "org.bluez.Error.AlreadyExists") {
        return failed(BluezOperation::Pair, "BluezBackend::pairWithAgent", "RegisterAgent", reply);
    }

    BluezAgent& agent = context.session->agent();
    agent.setTarget(devicePath);
    reply = context.call(devicePath, kDeviceInterface, "Pair", nullptr, m_options.pairTimeout);
    agent.setTarget({});

    const BluezReply unregistered = context.call(
        kBluezRoot, kAgentManager, "UnregisterAgent",
        [](sdbus::MethodCall& call) { call << sdbus::ObjectPath(BluezAgent::kPath); },
        m_options.callTimeout);
    if (!unregistered.ok()) {
        _Log(LOG_INFO, "BluezBackend::pairWithAgent", __LINE__, "UnregisterAgent: %s: %s",
             unregistered.errorName.c_str(), unregistered.errorMessage.c_str());
    }
    if (reply.ok()) {
        _Log(LOG_INFO, "BluezBackend::pairWithAgent", __LINE__, "paired with %s",
             devicePath.c_str());
        return kOk;
    }
    const int code = mapBluezError(BluezOperation::Pair, reply.errorName, reply.errorMessage);
    if (code == kErrorAlreadyPaired) {
        _Log(LOG_INFO, "BluezBackend::pairWithAgent", __LINE__, "%s is paired already",
             devicePath.c_str());
        return code;
    }
    if (code == ETIMEDOUT) {
        // BlueZ may still be pairing; leave nothing half done behind.
        context.call(devicePath, kDeviceInterface, "CancelPairing", nullptr, m_options.callTimeout);
    }
    return failed(BluezOperation::Pair, "BluezBackend::pairWithAgent", "Pair", reply);
}

void BluezBackend::trust(Context& context, const std::string& devicePath) {
    // Trusted devices may connect back without asking an agent to authorise the service.
    const BluezReply reply = context.call(
        devicePath, kPropertiesInterface, "Set",
        [](sdbus::MethodCall& call) {
            call << std::string(kDeviceInterface) << std::string("Trusted") << sdbus::Variant(true);
        },
        m_options.callTimeout);
    if (!reply.ok()) {
        _Log(LOG_WARNING, "BluezBackend::trust", __LINE__, "marking %s trusted failed: %s: %s",
             devicePath.c_str(), reply.errorName.c_str(), reply.errorMessage.c_str());
    }
}

int BluezBackend::unpair(uint64_t address) {
    Context context;
    if (const int code = prepare(BluezOperation::Unpair, "BluezBackend::unpair", context);
        code != kOk) {
        return code;
    }
    const BluezDeviceInfo* device = context.tree.findDevice(address, context.adapter->path);
    if (device == nullptr) {
        _Log(LOG_WARNING, "BluezBackend::unpair", __LINE__, "%s is not known to BlueZ",
             formatAddress(address).c_str());
        return ENOENT;
    }
    const std::string devicePath = device->path;
    const BluezReply reply = context.call(
        device->adapterPath, kAdapterInterface, "RemoveDevice",
        [&devicePath](sdbus::MethodCall& call) { call << sdbus::ObjectPath(devicePath); },
        m_options.unpairTimeout);
    if (!reply.ok()) {
        return failed(BluezOperation::Unpair, "BluezBackend::unpair", "RemoveDevice", reply);
    }
    _Log(LOG_INFO, "BluezBackend::unpair", __LINE__, "removed %s", devicePath.c_str());
    return kOk;
}

ConnectResult BluezBackend::connect(uint64_t address, const std::string& serviceUuid) {
    const std::string uuid = normaliseUuid(serviceUuid);
    if (uuid.empty()) {
        _Log(LOG_WARNING, "BluezBackend::connect", __LINE__, "not a service class id: '%s'",
             serviceUuid.c_str());
        return {.code = EINVAL, .connection = nullptr};
    }
    m_discovery->stop();
    Context context;
    if (const int code = prepare(BluezOperation::Connect, "BluezBackend::connect", context);
        code != kOk) {
        return {.code = code, .connection = nullptr};
    }
    const BluezDeviceInfo* device = context.tree.findDevice(address, context.adapter->path);
    if (device == nullptr) {
        _Log(LOG_WARNING, "BluezBackend::connect", __LINE__,
             "%s is not known to BlueZ (not found by a recent discovery)",
             formatAddress(address).c_str());
        return {.code = EHOSTDOWN, .connection = nullptr};
    }
    const std::string devicePath = device->path;
    _Log(LOG_INFO, "BluezBackend::connect", __LINE__,
         "%s offers the services (Device1.UUIDs) %s; connecting %s", devicePath.c_str(),
         joined(device->uuids).c_str(), uuid.c_str());
    if (const int code = registerProfile(context, uuid); code != kOk) {
        return {.code = code, .connection = nullptr};
    }
    ConnectResult result = connectThroughBluez(context, devicePath, uuid);
    if (result.code == kOk || result.code != ECONNREFUSED || !m_dialer) {
        return result;
    }
    return connectDirectly(address, devicePath, uuid);
}

ConnectResult BluezBackend::connectThroughBluez(Context& context, const std::string& devicePath,
                                                const std::string& uuid) {
    int fd = -1;
    BluezReply reply = connectProfile(context, devicePath, uuid, fd);
    if (reply.ok() && fd < 0) {
        // BlueZ still holds an earlier link of this service (one that was closed without
        // a shutdown, or another program's): it answers success and hands over nothing.
        _Log(LOG_WARNING, "BluezBackend::connect", __LINE__,
             "ConnectProfile succeeded but no socket arrived for %s: the service is still "
             "connected; disconnecting it and trying once more",
             devicePath.c_str());
        const BluezReply disconnected = context.call(
            devicePath, kDeviceInterface, "DisconnectProfile",
            [&uuid](sdbus::MethodCall& call) { call << uuid; }, m_options.callTimeout);
        if (!disconnected.ok()) {
            _Log(LOG_INFO, "BluezBackend::connect", __LINE__, "DisconnectProfile: %s: %s",
                 disconnected.errorName.c_str(), disconnected.errorMessage.c_str());
        }
        reply = connectProfile(context, devicePath, uuid, fd);
    }
    if (!reply.ok()) {
        const int code =
            failed(BluezOperation::Connect, "BluezBackend::connect", "ConnectProfile", reply);
        if (isProfileUnavailable(reply.errorName, reply.errorMessage)) {
            _Log(LOG_INFO, "BluezBackend::connect", __LINE__,
                 "BlueZ has no profile for %s on %s (it takes only the first service class of "
                 "each SDP record)",
                 uuid.c_str(), devicePath.c_str());
            return {.code = ECONNREFUSED, .connection = nullptr};
        }
        if (code == ECONNREFUSED || code == EIO) {
            _Log(LOG_INFO, "BluezBackend::connect", __LINE__,
                 "a paired device that refuses may have lost its pairing: unpair and pair again");
        }
        // Refused for another reason than a missing profile: no point looking further.
        return {.code = code, .connection = nullptr};
    }
    if (fd < 0) {
        _Log(LOG_WARNING, "BluezBackend::connect", __LINE__,
             "ConnectProfile succeeded twice without a socket for %s", devicePath.c_str());
        return {.code = EPROTO, .connection = nullptr};
    }
    if (const std::string problem = streamSocketProblem(fd); !problem.empty()) {
        _Log(LOG_WARNING, "BluezBackend::connect", __LINE__,
             "BlueZ handed over an unusable socket for %s (%s); the service's record does not "
             "name an RFCOMM channel",
             devicePath.c_str(), problem.c_str());
        BluezProfileRegistry::shutDownAndClose(fd);
        return {.code = EPROTO, .connection = nullptr};
    }
    makeBlocking(fd);
    auto connection = std::make_shared<FdConnection>(fd);
    context.session->profiles().track(uuid, devicePath, connection);
    _Log(LOG_INFO, "BluezBackend::connect", __LINE__,
         "connected to %s, service %s, through BlueZ's profile", devicePath.c_str(), uuid.c_str());
    return {.code = kOk, .connection = std::move(connection)};
}

ConnectResult BluezBackend::connectDirectly(uint64_t address, const std::string& devicePath,
                                            const std::string& uuid) {
    std::vector<SdpRecordInfo> records;
    if (const int code = m_dialer->records(address, uuid, records); code != kOk) {
        _Log(LOG_WARNING, "BluezBackend::connectDirectly", __LINE__,
             "searching the SDP records of %s failed: %s", devicePath.c_str(),
             errorText(code).c_str());
        return {.code = code == EHOSTDOWN || code == ETIMEDOUT ? code : ECONNREFUSED,
                .connection = nullptr};
    }
    for (const SdpRecordInfo& record : records) {
        _Log(LOG_INFO, "BluezBackend::connectDirectly", __LINE__, "SDP record: classes %s, %s %d",
             joined(record.classes).c_str(), record.rfcomm ? "RFCOMM channel" : "L2CAP PSM",
             record.port);
    }
    const std::optional<int> channel = BluezRfcommDialer::channelFor(records, uuid);
    if (!channel) {
        _Log(LOG_WARNING, "BluezBackend::connectDirectly", __LINE__,
             "no SDP record of %s lists %s with an RFCOMM channel", devicePath.c_str(),
             uuid.c_str());
        return {.code = ECONNREFUSED, .connection = nullptr};
    }
    _Log(LOG_INFO, "BluezBackend::connectDirectly", __LINE__,
         "connecting RFCOMM channel %d of %s directly", *channel, devicePath.c_str());
    const int fd = m_dialer->open(address, *channel);
    if (fd < 0) {
        _Log(LOG_WARNING, "BluezBackend::connectDirectly", __LINE__, "RFCOMM channel %d of %s: %s",
             *channel, devicePath.c_str(), errorText(-fd).c_str());
        return {.code = -fd, .connection = nullptr};
    }
    if (const std::string problem = streamSocketProblem(fd); !problem.empty()) {
        _Log(LOG_WARNING, "BluezBackend::connectDirectly", __LINE__, "unusable socket: %s",
             problem.c_str());
        BluezProfileRegistry::shutDownAndClose(fd);
        return {.code = EPROTO, .connection = nullptr};
    }
    makeBlocking(fd);
    _Log(LOG_INFO, "BluezBackend::connectDirectly", __LINE__,
         "connected to %s, service %s, on RFCOMM channel %d", devicePath.c_str(), uuid.c_str(),
         *channel);
    return {.code = kOk, .connection = std::make_shared<FdConnection>(fd)};
}

int BluezBackend::registerProfile(Context& context, const std::string& uuid) {
    const base::Result<std::string> object =
        context.session->profiles().objectFor(uuid, m_options.callTimeout);
    if (!object.ok()) {
        _Log(LOG_WARNING, "BluezBackend::registerProfile", __LINE__,
             "cannot put the profile object for %s on the bus: %s", uuid.c_str(),
             object.error().message().c_str());
        return context.session->broken() ? ENOENT : EPROTO;
    }
    const std::string& path = object.value();
    // Registered again before every connect: cheap, and it survives a restart of bluetoothd
    // (which forgets every registration) without us having to notice the restart.
    const BluezReply reply = context.call(
        kBluezRoot, kProfileManager, "RegisterProfile",
        [&path, &uuid](sdbus::MethodCall& call) {
            call << sdbus::ObjectPath(path) << uuid
                 << Properties{{"Name", sdbus::Variant(std::string(kProfileName))},
                               {"Role", sdbus::Variant(std::string("client"))},
                               {"RequireAuthentication", sdbus::Variant(true)},
                               {"AutoConnect", sdbus::Variant(false)}};
        },
        m_options.callTimeout);
    if (reply.ok() || reply.errorName == "org.bluez.Error.AlreadyExists") {
        return kOk;
    }
    if (reply.errorName == "org.bluez.Error.NotPermitted") {
        _Log(LOG_WARNING, "BluezBackend::registerProfile", __LINE__,
             "another program holds the service %s (a second instance?)", uuid.c_str());
    }
    return failed(BluezOperation::Connect, "BluezBackend::registerProfile", "RegisterProfile",
                  reply);
}

BluezReply BluezBackend::connectProfile(Context& context, const std::string& devicePath,
                                        const std::string& uuid, int& fd) {
    BluezProfileRegistry& profiles = context.session->profiles();
    profiles.expect(uuid, devicePath);
    BluezReply reply;
    for (int attempt = 0;; ++attempt) {
        reply = context.call(
            devicePath, kDeviceInterface, "ConnectProfile",
            [&uuid](sdbus::MethodCall& call) { call << uuid; }, m_options.connectTimeout);
        if (reply.ok() || !isBluezBusy(reply.errorName, reply.errorMessage) ||
            attempt >= m_options.connectBusyRetries) {
            break;
        }
        _Log(LOG_INFO, "BluezBackend::connectProfile", __LINE__,
             "BlueZ is busy with %s (%s: %s); trying again", devicePath.c_str(),
             reply.errorName.c_str(), reply.errorMessage.c_str());
        std::this_thread::sleep_for(m_options.connectBusyPause);
    }
    fd = profiles.take(uuid, devicePath);
    if (!reply.ok()) {
        BluezProfileRegistry::shutDownAndClose(fd);
        fd = -1;
    }
    return reply;
}

}  // namespace platform::bluetooth
