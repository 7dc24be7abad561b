#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/common/ChildProcess.h"
#include "tests/common/TestSandbox.h"

namespace sdbus {
class IConnection;
class IObject;
}  // namespace sdbus

namespace desktop_test {

// A private session bus (its own dbus-daemon in a temporary folder) that the code under test
// finds through DBUS_SESSION_BUS_ADDRESS while this object lives.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    bool started() const { return m_started; }
    const std::string& address() const { return m_address; }

private:
    std::filesystem::path m_folder;
    std::string m_address;
    testing_support::ScopedEnv m_env;
    testing_support::ChildProcess m_daemon;
    bool m_started = false;
};

// A panel's tray host in small: owns org.kde.StatusNotifierWatcher, records the items that
// register, and reads an item the way a panel does (properties, menu layout, clicks).
class TrayWatcherStandIn {
public:
    struct Pixmap {
        int width = 0;
        int height = 0;
        std::vector<uint8_t> argb;
    };
    struct ToolTip {
        std::string title;
        std::string text;
        std::size_t pixmaps = 0;
    };
    struct MenuLine {
        int id = 0;
        std::string type;  // "separator" or empty
        std::string label;
        bool enabled = true;
        int toggleState = -1;  // -1: not a toggle
    };

    explicit TrayWatcherStandIn(const std::string& busAddress);
    ~TrayWatcherStandIn();

    // Service names of the items registered so far.
    std::vector<std::string> registered() const;
    // The last item that registered (empty: none).
    std::string item() const;

    std::string textProperty(const std::string& name) const;
    std::vector<Pixmap> iconPixmaps() const;
    ToolTip toolTip() const;
    std::string menuPath() const;
    std::vector<MenuLine> menu() const;
    // The label of the entry with this id (empty when there is none).
    std::string menuLabel(int id) const;
    // The first entry whose label is this text; -1 when none.
    int menuId(const std::string& label) const;
    void clickMenu(int id) const;
    void activate() const;

private:
    std::unique_ptr<sdbus::IConnection> m_connection;
    std::unique_ptr<sdbus::IObject> m_object;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_registered;
};

// The desktop's notification server in small: owns org.freedesktop.Notifications, records
// every notice, and can click one (ActionInvoked with its "default" action).
class NotificationServerStandIn {
public:
    struct Notice {
        uint32_t id = 0;
        std::string appName;
        std::string icon;
        std::string summary;
        std::string body;
        std::vector<std::string> actions;
    };

    explicit NotificationServerStandIn(const std::string& busAddress);
    ~NotificationServerStandIn();

    std::vector<Notice> notices() const;
    void clickDefault(uint32_t id);

private:
    std::unique_ptr<sdbus::IConnection> m_connection;
    std::unique_ptr<sdbus::IObject> m_object;
    mutable std::mutex m_mutex;
    std::vector<Notice> m_notices;
    uint32_t m_nextId = 1;
};

}  // namespace desktop_test
