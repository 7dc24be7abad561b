#include "platform/desktop/dbus/NotificationSender.h"

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <map>
#include <vector>

#include "base/Log.h"

namespace platform::desktop {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// Clicks on older notices than these are no longer answered.
constexpr std::size_t kRemembered = 32;
// The server's own default display time.
constexpr int32_t kServerTimeout = -1;

}  // namespace

NotificationSender::NotificationSender(sdbus::IConnection& connection, std::string appName,
                                       std::function<void()> activated)
    : m_server(sdbus::createProxy(connection, kService, kPath)),
      m_appName(std::move(appName)),
      m_activated(std::move(activated)) {
    m_server->uponSignal("ActionInvoked")
        .onInterface(kInterface)
        .call([this](uint32_t id, const std::string& action) {
            if (action == kDefaultAction && isOurs(id) && m_activated) {
                m_activated();
            }
        });
    m_server->finishRegistration();
}

NotificationSender::~NotificationSender() = default;

void NotificationSender::send(const DesktopNotice& notice) {
    std::vector<std::string> actions;
    if (!notice.defaultActionLabel.empty()) {
        actions = {kDefaultAction, notice.defaultActionLabel};
    }
    std::map<std::string, sdbus::Variant> hints;
    hints["desktop-entry"] = sdbus::Variant(std::string("com.auralis.AuralisManager"));
    if (!notice.iconPath.empty()) {
        hints["image-path"] = sdbus::Variant(notice.iconPath);
    }
    const uint32_t replaces = 0;
    m_server->callMethodAsync("Notify")
        .onInterface(kInterface)
        .withArguments(m_appName, replaces, notice.iconPath, notice.summary, notice.body, actions,
                       hints, kServerTimeout)
        .uponReplyInvoke([this](const sdbus::Error* error, uint32_t id) {
            if (error != nullptr) {
                _Log(LOG_WARNING, "NotificationSender", __LINE__, "notice not shown: %s %s",
                     error->getName().c_str(), error->getMessage().c_str());
                return;
            }
            remember(id);
        });
}

void NotificationSender::remember(uint32_t id) {
    m_sent.push_back(id);
    if (m_sent.size() > kRemembered) {
        m_sent.pop_front();
    }
}

bool NotificationSender::isOurs(uint32_t id) const {
    return std::find(m_sent.begin(), m_sent.end(), id) != m_sent.end();
}

}  // namespace platform::desktop
