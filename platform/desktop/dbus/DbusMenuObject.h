#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/desktop/TrayContent.h"

namespace sdbus {
class IConnection;
class IObject;
}  // namespace sdbus

namespace platform::desktop {

// The tray item's menu (com.canonical.dbusmenu): a flat list under the root item 0. A click on
// an entry is reported with its id. Lives on the session's thread, like the connection.
class DbusMenuObject {
public:
    DbusMenuObject(sdbus::IConnection& connection, const char* path,
                   std::function<void(int id)> chosen);
    ~DbusMenuObject();
    DbusMenuObject(const DbusMenuObject&) = delete;
    DbusMenuObject& operator=(const DbusMenuObject&) = delete;

    // Takes the new entries; a changed menu gets a new revision, announced to the panel.
    void update(const std::vector<TrayMenuEntry>& entries, bool rightToLeft);

private:
    void registerInterface();
    const TrayMenuEntry* find(int32_t id) const;

    std::unique_ptr<sdbus::IObject> m_object;
    std::function<void(int)> m_chosen;
    std::vector<TrayMenuEntry> m_entries;
    bool m_rightToLeft = false;
    uint32_t m_revision = 1;
};

}  // namespace platform::desktop
