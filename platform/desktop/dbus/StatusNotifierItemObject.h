#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/desktop/TrayContent.h"

namespace sdbus {
class IConnection;
class IObject;
}  // namespace sdbus

namespace platform::desktop {

// The tray item's object (org.kde.StatusNotifierItem) on a connection: its properties come from
// the content last set; activation is reported through the callback. Lives on the session's
// thread, like the connection.
class StatusNotifierItemObject {
public:
    StatusNotifierItemObject(sdbus::IConnection& connection, std::string itemId,
                             std::string menuPath, std::function<void()> activated);
    ~StatusNotifierItemObject();
    StatusNotifierItemObject(const StatusNotifierItemObject&) = delete;
    StatusNotifierItemObject& operator=(const StatusNotifierItemObject&) = delete;

    // Takes the new content and tells the panel what changed (title, icon, tooltip).
    void update(const TrayContent& content);

private:
    void registerInterface();

    std::unique_ptr<sdbus::IObject> m_object;
    std::string m_itemId;
    std::string m_menuPath;
    std::function<void()> m_activated;
    TrayContent m_content;
};

}  // namespace platform::desktop
