#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/desktop/DesktopNotice.h"

namespace sdbus {
class IConnection;
class IProxy;
}  // namespace sdbus

namespace platform::desktop {

// Sends notices to the desktop's notification server (org.freedesktop.Notifications) and
// reports a click on one of ours (its "default" action). Lives on the session's thread.
class NotificationSender {
public:
    static constexpr const char* kDefaultAction = "default";

    NotificationSender(sdbus::IConnection& connection, std::string appName,
                       std::function<void()> activated);
    ~NotificationSender();
    NotificationSender(const NotificationSender&) = delete;
    NotificationSender& operator=(const NotificationSender&) = delete;

    // Asks the server to show the notice; the answer (its id) arrives later.
    void send(const DesktopNotice& notice);

private:
    void remember(uint32_t id);
    bool isOurs(uint32_t id) const;

    std::unique_ptr<sdbus::IProxy> m_server;
    std::string m_appName;
    std::function<void()> m_activated;
    std::deque<uint32_t> m_sent;  // ids of our latest notices
};

}  // namespace platform::desktop
