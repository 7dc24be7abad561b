#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "a11y/AccessibleNode.h"
#include "a11y/IAccessibleSource.h"
#include "a11y/SnapshotDiff.h"

namespace a11y {

// The accessibility bus side: one D-Bus object per node under /org/a11y/atspi/accessible/,
// the application root, the embedding in the desktop's registry and the events. Everything
// here runs on the bridge's own thread.
class AtspiServer {
public:
    AtspiServer(sdbus::IConnection& connection, IAccessibleSource& source);
    ~AtspiServer();
    AtspiServer(const AtspiServer&) = delete;
    AtspiServer& operator=(const AtspiServer&) = delete;

    // Embeds the application root in the registry (the answer arrives later on the loop).
    void Embed();
    // Makes the exported objects match the snapshot and raises the events of the change;
    // returns how many events that were.
    std::size_t Apply(const SnapshotPtr& snapshot);
    // Whether any client of the registry listens to events (a screen reader runs).
    bool HasListeners() const { return !m_listeners.empty(); }

    using Reference = sdbus::Struct<std::string, sdbus::ObjectPath>;
    static std::string PathOf(uint32_t id);

private:
    struct Exported;

    Reference RefOf(uint32_t id) const;
    Reference NullRef() const;
    // The node as the newest snapshot has it (a copy: the snapshot may change meanwhile).
    AccessibleNode NodeOf(uint32_t id);
    void Export(const AccessibleNode& node);
    void RegisterAccessible(sdbus::IObject& object, uint32_t id);
    void RegisterComponent(sdbus::IObject& object, uint32_t id);
    void RegisterAction(sdbus::IObject& object, uint32_t id);
    void RegisterText(sdbus::IObject& object, uint32_t id);
    void RegisterValue(sdbus::IObject& object, uint32_t id);
    void RegisterApplication(sdbus::IObject& object);
    void Emit(const AccessibleEvent& event);
    void WatchListeners();
    static unsigned InterfaceMask(const AccessibleNode& node);

    sdbus::IConnection& m_connection;
    IAccessibleSource& m_source;
    std::string m_busName;
    Reference m_desktop;
    SnapshotPtr m_snapshot;  // what the exported objects show
    std::map<uint32_t, std::unique_ptr<Exported>> m_objects;
    std::unique_ptr<sdbus::IProxy> m_registry;
    std::unique_ptr<sdbus::IObject> m_cache;
    std::unique_ptr<sdbus::IProxy> m_registryEvents;
    std::set<std::pair<std::string, std::string>> m_listeners;  // (client, event kind)
    int32_t m_applicationId = 0;
};

}  // namespace a11y
