#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/desktop/DesktopNotice.h"
#include "platform/desktop/TrayContent.h"

namespace platform::desktop {

// The program's presence on the desktop outside its window, over the user's session bus: a
// tray item (the StatusNotifierItem protocol, registered with the panel's
// org.kde.StatusNotifierWatcher, with its menu over com.canonical.dbusmenu) and notifications
// (org.freedesktop.Notifications).
//
// Every call returns at once; the bus work happens on a thread of its own, which applies the
// latest tray content (a burst of updates costs one) and sends notices in order. Nothing touches
// the bus before the first showTray or notify. Without a session bus, that is logged once and
// nothing more is tried; without a watcher on the bus the item is not shown until one appears.
//
// The handlers run on that thread; they must not call back into this object synchronously
// waiting for it, and should hand UI work to the UI thread.
class DesktopSession {
public:
    struct Handlers {
        std::function<void()> activate;             // the user activated the tray item
        std::function<void(int id)> menuChosen;     // a menu entry (TrayMenuEntry::id) was chosen
        std::function<void(bool shown)> trayShown;  // a panel shows the item now / no longer
        std::function<void()> noticeActivated;      // the default action of one of our notices
    };

    static constexpr const char* kItemPath = "/StatusNotifierItem";
    static constexpr const char* kMenuPath = "/MenuBar";
    static constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";

    // appName: the sender of notices; itemId: the tray item's stable identifier.
    DesktopSession(Handlers handlers, std::string appName, std::string itemId);
    ~DesktopSession();  // withdraws the item and ends the thread
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Shows the tray item with this content, or updates it.
    void showTray(const TrayContent& content);
    // Withdraws the tray item.
    void hideTray();
    // Sends one notice. Possible failures (no server, the server refused) are logged only.
    void notify(const DesktopNotice& notice);

    // A panel shows the item (registered with a watcher and not withdrawn since).
    bool trayShown() const;

    // For tests: waits (bounded) until the thread has applied every call so far.
    bool settle(int timeoutMs);
    // For tests: the unique bus name of the session's connection, empty before it connected.
    std::string busName() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform::desktop
