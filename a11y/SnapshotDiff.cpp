#include "a11y/SnapshotDiff.h"

#include <algorithm>

#include "a11y/States.h"

namespace a11y {

namespace {

constexpr int kAnnouncedStates[] = {state::kChecked,  state::kEnabled, state::kSensitive,
                                    state::kSelected, state::kShowing, state::kVisible,
                                    state::kModal,    state::kActive};

bool IsWindow(const AccessibleNode& node) {
    return node.id != 0 && node.parent == 0;
}

AccessibleEvent Make(uint32_t source, const char* kind, const char* member, std::string detail = {},
                     int32_t detail1 = 0) {
    AccessibleEvent event;
    event.source = source;
    event.kind = kind;
    event.member = member;
    event.detail = std::move(detail);
    event.detail1 = detail1;
    return event;
}

AccessibleEvent ChildEvent(uint32_t parent, const char* detail, int32_t index, uint32_t child) {
    AccessibleEvent event = Make(parent, "Object", "ChildrenChanged", detail, index);
    event.data = AccessibleEvent::Data::Child;
    event.child = child;
    return event;
}

AccessibleEvent StateEvent(uint32_t source, int state, bool on) {
    return Make(source, "Object", "StateChanged", StateName(state), on ? 1 : 0);
}

bool Contains(const std::vector<uint32_t>& ids, uint32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Children added to nodes that existed before (a new node's children come with it).
void ChildrenAdded(const AccessibleSnapshot& before, const AccessibleNode& node,
                   std::vector<AccessibleEvent>& events) {
    const AccessibleNode* old = before.Find(node.id);
    if (old == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < node.children.size(); ++i) {
        if (!Contains(old->children, node.children[i])) {
            events.push_back(ChildEvent(node.id, "add", static_cast<int32_t>(i), node.children[i]));
        }
    }
}

void Changes(const AccessibleNode& old, const AccessibleNode& node,
             std::vector<AccessibleEvent>& events) {
    if (old.name != node.name) {
        AccessibleEvent event = Make(node.id, "Object", "PropertyChange", "accessible-name");
        event.data = AccessibleEvent::Data::Text;
        event.text = node.name;
        events.push_back(std::move(event));
    }
    if (node.hasValue && old.value.current != node.value.current) {
        AccessibleEvent event = Make(node.id, "Object", "PropertyChange", "accessible-value");
        event.data = AccessibleEvent::Data::Number;
        event.number = node.value.current;
        events.push_back(std::move(event));
    }
    for (const int state : kAnnouncedStates) {
        if (old.HasState(state) != node.HasState(state)) {
            events.push_back(StateEvent(node.id, state, node.HasState(state)));
        }
    }
    if (IsWindow(node) && old.HasState(state::kActive) != node.HasState(state::kActive)) {
        events.push_back(
            Make(node.id, "Window", node.HasState(state::kActive) ? "Activate" : "Deactivate"));
    }
}

}  // namespace

std::vector<AccessibleEvent> DiffSnapshots(const AccessibleSnapshot& before,
                                           const AccessibleSnapshot& after) {
    std::vector<AccessibleEvent> events;
    std::vector<AccessibleEvent> focus;
    for (const auto& [id, node] : after.nodes) {
        if (before.Find(id) == nullptr && IsWindow(node)) {
            events.push_back(Make(id, "Window", "Create"));
            if (node.HasState(state::kActive)) {
                events.push_back(Make(id, "Window", "Activate"));
            }
        }
    }
    for (const auto& [id, node] : after.nodes) {
        const AccessibleNode* old = before.Find(id);
        ChildrenAdded(before, node, events);
        if (old != nullptr) {
            Changes(*old, node, events);
        }
        const bool wasFocused = old != nullptr && old->HasState(state::kFocused);
        if (wasFocused != node.HasState(state::kFocused)) {
            (node.HasState(state::kFocused) ? focus : events)
                .push_back(StateEvent(id, state::kFocused, node.HasState(state::kFocused)));
        }
    }
    events.insert(events.end(), focus.begin(), focus.end());
    for (const auto& [id, old] : before.nodes) {
        const AccessibleNode* node = after.Find(id);
        if (node != nullptr) {
            for (std::size_t i = 0; i < old.children.size(); ++i) {
                if (!Contains(node->children, old.children[i])) {
                    events.push_back(
                        ChildEvent(id, "remove", static_cast<int32_t>(i), old.children[i]));
                }
            }
        } else if (IsWindow(old)) {
            if (old.HasState(state::kActive)) {
                events.push_back(Make(id, "Window", "Deactivate"));
            }
            events.push_back(Make(id, "Window", "Destroy"));
        }
    }
    return events;
}

}  // namespace a11y
