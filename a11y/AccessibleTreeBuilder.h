#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "a11y/AccessibleNode.h"

class SDispatcher;
class SWindowBase;
class SWindowFrame;

namespace a11y {

// Makes snapshots of every shown window's widget tree and performs actions on the widgets they
// name. Each window, effectively visible widget and list row keeps its id from one snapshot to
// the next while it lives. UI thread only.
class AccessibleTreeBuilder {
public:
    AccessibleTreeBuilder(SDispatcher& dispatcher, std::string applicationName);

    // A new snapshot of the windows as they are now.
    SnapshotPtr Build();
    // Performs action `index` of the node `id` (as found by the last Build); false when the
    // node is gone or has no such action.
    bool DoAction(uint32_t id, int index);
    // Gives the node's widget the keyboard focus; false when it cannot take it.
    bool GrabFocus(uint32_t id);

private:
    // What a node stands for: a window, a widget, or a row (>= 0) of a table widget.
    struct Target {
        SWindowFrame* frame = nullptr;
        SWindowBase* widget = nullptr;
        int row = -1;
    };
    using Key = std::tuple<const void*, int, std::string>;

    uint32_t IdFor(const void* object, int row, const std::string& name);
    void AddFrame(SWindowFrame& frame, AccessibleSnapshot& snapshot);
    uint32_t AddWidget(SWindowBase& widget, uint32_t parent, uint32_t window,
                       const Extents& windowOnScreen, AccessibleSnapshot& snapshot);
    void AddRows(SWindowBase& table, AccessibleNode& node, const Extents& windowOnScreen,
                 AccessibleSnapshot& snapshot);
    static bool InEnabledWindow(const Target& target);

    SDispatcher& m_dispatcher;
    std::string m_applicationName;
    std::map<Key, uint32_t> m_ids;
    std::map<Key, uint32_t> m_seen;  // the ids of the snapshot being built
    std::map<uint32_t, Target> m_targets;
    uint32_t m_nextId = 1;
};

}  // namespace a11y
