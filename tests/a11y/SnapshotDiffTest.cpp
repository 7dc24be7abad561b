#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "a11y/Roles.h"
#include "a11y/SnapshotDiff.h"
#include "a11y/States.h"

using namespace a11y;

namespace {

uint64_t Bits(std::initializer_list<int> states) {
    uint64_t bits = 0;
    for (const int state : states) {
        bits |= uint64_t{1} << state;
    }
    return bits;
}

// The application root with one window (id 1) holding the given widgets.
AccessibleSnapshot Tree(const std::vector<AccessibleNode>& widgets, uint64_t windowStates) {
    AccessibleSnapshot tree;
    tree.nodes[0].role = role::kApplication;
    tree.nodes[0].children = {1};
    AccessibleNode& window = tree.nodes[1];
    window.id = 1;
    window.window = 1;
    window.role = role::kFrame;
    window.states = windowStates;
    for (const AccessibleNode& widget : widgets) {
        window.children.push_back(widget.id);
        tree.nodes[widget.id] = widget;
        tree.nodes[widget.id].parent = 1;
    }
    return tree;
}

AccessibleNode Widget(uint32_t id, const std::string& name, uint64_t states = 0) {
    AccessibleNode node;
    node.id = id;
    node.name = name;
    node.states = states;
    return node;
}

// "Kind:Member:detail:detail1" of each event, in order.
std::vector<std::string> Spoken(const AccessibleSnapshot& before, const AccessibleSnapshot& after) {
    std::vector<std::string> lines;
    for (const AccessibleEvent& event : DiffSnapshots(before, after)) {
        lines.push_back(event.kind + ":" + event.member + ":" + event.detail + ":" +
                        std::to_string(event.detail1) + "@" + std::to_string(event.source));
    }
    return lines;
}

}  // namespace

TEST(SnapshotDiff, SameTreeSaysNothing) {
    const AccessibleSnapshot tree = Tree({Widget(2, "Connect")}, Bits({state::kActive}));
    EXPECT_TRUE(DiffSnapshots(tree, tree).empty());
}

// A window that opens is created, then activated, and its children come with it (no separate
// children-changed for them); one that closes is deactivated and destroyed last.
TEST(SnapshotDiff, WindowsOpenAndCloseInTheOrderAReaderExpects) {
    AccessibleSnapshot empty;
    empty.nodes[0].role = role::kApplication;
    const AccessibleSnapshot open = Tree({Widget(2, "OK")}, Bits({state::kActive}));
    EXPECT_EQ(Spoken(empty, open),
              (std::vector<std::string>{"Window:Create::0@1", "Window:Activate::0@1",
                                        "Object:ChildrenChanged:add:0@0"}));
    EXPECT_EQ(Spoken(open, empty),
              (std::vector<std::string>{"Object:ChildrenChanged:remove:0@0",
                                        "Window:Deactivate::0@1", "Window:Destroy::0@1"}));
}

TEST(SnapshotDiff, NamesValuesStatesAndChildren) {
    AccessibleNode battery = Widget(2, "Left earbud, 64 %");
    battery.hasValue = true;
    battery.value.current = 64;
    const AccessibleSnapshot before =
        Tree({battery, Widget(3, "Check for updates", Bits({state::kEnabled}))}, 0);
    battery.name = "Left earbud, 63 %";
    battery.value.current = 63;
    const AccessibleSnapshot after =
        Tree({battery, Widget(4, "Stop"), Widget(3, "Check for updates", 0)}, 0);
    const std::vector<AccessibleEvent> events = DiffSnapshots(before, after);
    EXPECT_EQ(
        Spoken(before, after),
        (std::vector<std::string>{
            "Object:ChildrenChanged:add:1@1", "Object:PropertyChange:accessible-name:0@2",
            "Object:PropertyChange:accessible-value:0@2", "Object:StateChanged:enabled:0@3"}));
    EXPECT_EQ(events[0].child, 4u);
    EXPECT_EQ(events[1].text, "Left earbud, 63 %");
    EXPECT_EQ(events[2].number, 63);
}

// Focus leaving one widget is told before focus arriving at the next, so a reader ends on the
// widget that has it.
TEST(SnapshotDiff, FocusLossBeforeFocusGain) {
    const AccessibleSnapshot before =
        Tree({Widget(2, "Update", Bits({state::kFocused})), Widget(3, "Cancel")}, 0);
    const AccessibleSnapshot after =
        Tree({Widget(2, "Update"), Widget(3, "Cancel", Bits({state::kFocused}))}, 0);
    EXPECT_EQ(Spoken(before, after), (std::vector<std::string>{"Object:StateChanged:focused:0@2",
                                                               "Object:StateChanged:focused:1@3"}));
}
