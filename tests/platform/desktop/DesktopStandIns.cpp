#include "tests/platform/desktop/DesktopStandIns.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <sdbus-c++/sdbus-c++.h>

#include <map>
#include <tuple>

#include "tests/common/Eventually.h"

namespace desktop_test {

namespace {

constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
using Properties = std::map<std::string, sdbus::Variant>;
using Layout = sdbus::Struct<int32_t, Properties, std::vector<sdbus::Variant>>;
using WirePixmap = sdbus::Struct<int32_t, int32_t, std::vector<uint8_t>>;

bool canConnect(const std::filesystem::path& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.string().copy(address.sun_path, sizeof(address.sun_path) - 1);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

std::unique_ptr<sdbus::IProxy> Proxy(sdbus::IConnection& connection, const std::string& service,
                                     const std::string& path) {
    return sdbus::createProxy(connection, service, path);
}

}  // namespace

// ---------------------------------------------------------------- bus

PrivateSessionBus::PrivateSessionBus()
    : m_folder(testing_support::makeTempFolder("session-bus")),
      m_address("unix:path=" + (m_folder / "bus").string()),
      m_env("DBUS_SESSION_BUS_ADDRESS", m_address) {
    m_started = m_daemon.start(
        {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + m_address},
        {.output = m_folder / "dbus-daemon.log", .inputFromNull = true, .searchPath = true});
    m_started =
        m_started && testing_support::eventually([this] { return canConnect(m_folder / "bus"); },
                                                 std::chrono::seconds(20));
}

PrivateSessionBus::~PrivateSessionBus() {
    m_daemon.stop();
}

// ---------------------------------------------------------------- watcher

TrayWatcherStandIn::TrayWatcherStandIn(const std::string& busAddress)
    : m_connection(sdbus::createSessionBusConnectionWithAddress(busAddress)) {
    m_object = sdbus::createObject(*m_connection, "/StatusNotifierWatcher");
    const char* watcher = "org.kde.StatusNotifierWatcher";
    m_object->registerMethod("RegisterStatusNotifierItem")
        .onInterface(watcher)
        .implementedAs([this](const std::string& service) {
            std::lock_guard lock(m_mutex);
            m_registered.push_back(service);
        });
    m_object->registerMethod("RegisterStatusNotifierHost")
        .onInterface(watcher)
        .implementedAs([](const std::string&) {});
    m_object->registerProperty("IsStatusNotifierHostRegistered")
        .onInterface(watcher)
        .withGetter([] { return true; });
    m_object->registerProperty("ProtocolVersion").onInterface(watcher).withGetter([] {
        return int32_t{0};
    });
    m_object->finishRegistration();
    m_connection->requestName(watcher);
    m_connection->enterEventLoopAsync();
}

TrayWatcherStandIn::~TrayWatcherStandIn() {
    m_connection->leaveEventLoop();
    m_object.reset();
}

std::vector<std::string> TrayWatcherStandIn::registered() const {
    std::lock_guard lock(m_mutex);
    return m_registered;
}

std::string TrayWatcherStandIn::item() const {
    std::lock_guard lock(m_mutex);
    return m_registered.empty() ? std::string() : m_registered.back();
}

std::string TrayWatcherStandIn::textProperty(const std::string& name) const {
    return Proxy(*m_connection, item(), "/StatusNotifierItem")
        ->getProperty(name)
        .onInterface(kItemInterface)
        .get<std::string>();
}

std::string TrayWatcherStandIn::menuPath() const {
    return Proxy(*m_connection, item(), "/StatusNotifierItem")
        ->getProperty("Menu")
        .onInterface(kItemInterface)
        .get<sdbus::ObjectPath>();
}

std::vector<TrayWatcherStandIn::Pixmap> TrayWatcherStandIn::iconPixmaps() const {
    const auto wire = Proxy(*m_connection, item(), "/StatusNotifierItem")
                          ->getProperty("IconPixmap")
                          .onInterface(kItemInterface)
                          .get<std::vector<WirePixmap>>();
    std::vector<Pixmap> pixmaps;
    for (const WirePixmap& pixmap : wire) {
        pixmaps.push_back({pixmap.get<0>(), pixmap.get<1>(), pixmap.get<2>()});
    }
    return pixmaps;
}

TrayWatcherStandIn::ToolTip TrayWatcherStandIn::toolTip() const {
    const auto wire =
        Proxy(*m_connection, item(), "/StatusNotifierItem")
            ->getProperty("ToolTip")
            .onInterface(kItemInterface)
            .get<sdbus::Struct<std::string, std::vector<WirePixmap>, std::string, std::string>>();
    return {wire.get<2>(), wire.get<3>(), wire.get<1>().size()};
}

std::vector<TrayWatcherStandIn::MenuLine> TrayWatcherStandIn::menu() const {
    auto proxy = Proxy(*m_connection, item(), menuPath());
    uint32_t revision = 0;
    Layout root;
    proxy->callMethod("GetLayout")
        .onInterface(kMenuInterface)
        .withArguments(int32_t{0}, int32_t{-1}, std::vector<std::string>{})
        .storeResultsTo(revision, root);
    std::vector<MenuLine> lines;
    for (const sdbus::Variant& child : root.get<2>()) {
        const Layout entry = child.get<Layout>();
        const Properties& properties = entry.get<1>();
        MenuLine line;
        line.id = entry.get<0>();
        auto text = [&](const char* name) {
            const auto found = properties.find(name);
            return found == properties.end() ? std::string() : found->second.get<std::string>();
        };
        line.type = text("type");
        line.label = text("label");
        if (const auto found = properties.find("enabled"); found != properties.end()) {
            line.enabled = found->second.get<bool>();
        }
        if (const auto found = properties.find("toggle-state"); found != properties.end()) {
            line.toggleState = found->second.get<int32_t>();
        }
        lines.push_back(line);
    }
    return lines;
}

std::string TrayWatcherStandIn::menuLabel(int id) const {
    for (const MenuLine& line : menu()) {
        if (line.id == id) {
            return line.label;
        }
    }
    return {};
}

int TrayWatcherStandIn::menuId(const std::string& label) const {
    for (const MenuLine& line : menu()) {
        if (line.label == label) {
            return line.id;
        }
    }
    return -1;
}

void TrayWatcherStandIn::clickMenu(int id) const {
    Proxy(*m_connection, item(), menuPath())
        ->callMethod("Event")
        .onInterface(kMenuInterface)
        .withArguments(int32_t{id}, std::string("clicked"), sdbus::Variant(int32_t{0}),
                       uint32_t{0});
}

void TrayWatcherStandIn::activate() const {
    Proxy(*m_connection, item(), "/StatusNotifierItem")
        ->callMethod("Activate")
        .onInterface(kItemInterface)
        .withArguments(int32_t{10}, int32_t{10});
}

// ---------------------------------------------------------------- notification server

NotificationServerStandIn::NotificationServerStandIn(const std::string& busAddress)
    : m_connection(sdbus::createSessionBusConnectionWithAddress(busAddress)) {
    const char* interface = "org.freedesktop.Notifications";
    m_object = sdbus::createObject(*m_connection, "/org/freedesktop/Notifications");
    m_object->registerMethod("Notify").onInterface(interface).implementedAs(
        [this](sdbus::Result<uint32_t>&& result, const std::string& appName, uint32_t,
               const std::string& icon, const std::string& summary, const std::string& body,
               const std::vector<std::string>& actions, const Properties&, int32_t) {
            uint32_t id = 0;
            {
                std::lock_guard lock(m_mutex);
                id = m_nextId++;
            }
            // Answered before the notice shows in notices(): a click a test makes on it then
            // reaches the client after the id it belongs to.
            result.returnResults(id);
            std::lock_guard lock(m_mutex);
            m_notices.push_back({id, appName, icon, summary, body, actions});
        });
    m_object->registerMethod("GetCapabilities").onInterface(interface).implementedAs([] {
        return std::vector<std::string>{"actions", "body"};
    });
    m_object->registerMethod("CloseNotification")
        .onInterface(interface)
        .implementedAs([](uint32_t) {});
    m_object->registerMethod("GetServerInformation").onInterface(interface).implementedAs([] {
        return std::make_tuple(std::string("stand-in"), std::string("tests"), std::string("1"),
                               std::string("1.2"));
    });
    m_object->registerSignal("ActionInvoked")
        .onInterface(interface)
        .withParameters<uint32_t, std::string>();
    m_object->registerSignal("NotificationClosed")
        .onInterface(interface)
        .withParameters<uint32_t, uint32_t>();
    m_object->finishRegistration();
    m_connection->requestName(interface);
    m_connection->enterEventLoopAsync();
}

NotificationServerStandIn::~NotificationServerStandIn() {
    m_connection->leaveEventLoop();
    m_object.reset();
}

std::vector<NotificationServerStandIn::Notice> NotificationServerStandIn::notices() const {
    std::lock_guard lock(m_mutex);
    return m_notices;
}

void NotificationServerStandIn::clickDefault(uint32_t id) {
    m_object->emitSignal("ActionInvoked")
        .onInterface("org.freedesktop.Notifications")
        .withArguments(id, std::string("default"));
}

}  // namespace desktop_test
