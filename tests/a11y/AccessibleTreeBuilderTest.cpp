// The tree a frame's widgets make for assistive technology: roles, names, values and texts by
// widget kind, links between parents and children, stable ids, and actions that press what a
// user could press and nothing else.

#include <algorithm>
#include <string>
#include <vector>

#include "a11y/AccessibleTreeBuilder.h"
#include "a11y/Roles.h"
#include "a11y/States.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/IButtonDelegate.h"
#include "ui/ITListViewDelegate.h"
#include "ui/SItem.h"
#include "ui/SLabel.h"
#include "ui/SStaticImage.h"
#include "ui/STTableView.h"
#include "ui/STextButton.h"

namespace {

using a11y::AccessibleNode;
using a11y::AccessibleSnapshot;
namespace role = a11y::role;
namespace state = a11y::state;

class CountingDelegate : public IButtonDelegate, public ITListViewDelegate {
public:
    void ButtonClicked(SButton*) override { ++clicks; }
    void ListViewItemSelected(STTableView*, int row, const SItem&) override { rows.push_back(row); }
    int clicks = 0;
    std::vector<int> rows;
};

class AccessibleTreeBuilderTest : public ui_test::UiTest {
protected:
    AccessibleTreeBuilderTest() : builder(app->GetDispatcher(), "TestProgram") {
        CreateFrame(400, 300);
        connect.SetText("Connect");
        connect.SetDelegate(&delegate);
        connect.Create("Button Connect", &frame.root, SMargin(10, 10, -1, -1), SSize(100, 30));
        label.SetText("Left earbud");
        label.Create("Label Side", &frame.root, SMargin(10, 50, -1, -1), SSize(100, 20));
        battery.SetAccessibleName("Left earbud, 64 %");
        battery.SetAccessibleLevel(64);
        battery.Create("Battery", &frame.root, SMargin(10, 80, -1, -1), SSize(20, 20));
        hidden.SetText("Hidden");
        hidden.Create("Button Hidden", &frame.root, SMargin(10, 110, -1, -1), SSize(100, 30), 0);
        table.AddColumn("BluetoothName", 150, "");
        table.SetDelegate(&delegate);
        table.Create("List", &frame.root, SMargin(150, 10, -1, -1), SSize(200, 100));
        std::vector<SItem> items(2);
        items[0].SetValue("BluetoothName", "Auralis (77A0)");
        items[1].SetValue("BluetoothName", "Auralis+ (4F2A)");
        table.SetItems(items, "");
        Pump();
    }

    const AccessibleNode* ById(const AccessibleSnapshot& tree, const std::string& id) {
        for (const auto& [key, node] : tree.nodes) {
            if (node.accessibleId == id) {
                return &node;
            }
        }
        return nullptr;
    }

    CountingDelegate delegate;
    STextButton connect;
    STextButton hidden;
    SLabel label;
    SStaticImage battery;
    STTableView table;
    a11y::AccessibleTreeBuilder builder;
};

TEST_F(AccessibleTreeBuilderTest, WidgetsReadAsWhatTheyAre) {
    const a11y::SnapshotPtr tree = builder.Build();
    const AccessibleNode& application = tree->nodes.at(0);
    EXPECT_EQ(application.role, role::kApplication);
    EXPECT_EQ(application.name, "TestProgram");
    ASSERT_EQ(application.children.size(), 1u);
    EXPECT_EQ(tree->nodes.at(application.children[0]).role, role::kFrame);

    const AccessibleNode* button = ById(*tree, "Button Connect");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->role, role::kPushButton);
    EXPECT_EQ(button->name, "Connect");
    EXPECT_EQ(button->actions, std::vector<std::string>{"click"});
    EXPECT_TRUE(button->HasState(state::kSensitive));
    EXPECT_EQ(button->inWindow.width, 100);

    const AccessibleNode* text = ById(*tree, "Label Side");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->role, role::kLabel);
    EXPECT_TRUE(text->hasText);
    EXPECT_EQ(text->text, "Left earbud");
    EXPECT_TRUE(text->actions.empty());

    const AccessibleNode* picture = ById(*tree, "Battery");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->role, role::kImage);
    EXPECT_EQ(picture->name, "Left earbud, 64 %");
    EXPECT_TRUE(picture->hasValue);
    EXPECT_EQ(picture->value.current, 64);

    const AccessibleNode* list = ById(*tree, "List");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role, role::kList);
    ASSERT_EQ(list->children.size(), 2u);
    EXPECT_EQ(tree->nodes.at(list->children[1]).role, role::kListItem);
    EXPECT_EQ(tree->nodes.at(list->children[1]).name, "Auralis+ (4F2A)");

    // What is not shown is not in the tree.
    EXPECT_EQ(ById(*tree, "Button Hidden"), nullptr);
}

TEST_F(AccessibleTreeBuilderTest, LinksAgreeAndIdsLastWhileTheWidgetsLive) {
    const a11y::SnapshotPtr first = builder.Build();
    for (const auto& [id, node] : first->nodes) {
        for (const uint32_t child : node.children) {
            ASSERT_EQ(first->nodes.count(child), 1u);
            EXPECT_EQ(first->nodes.at(child).parent, id);
        }
    }
    const a11y::SnapshotPtr second = builder.Build();
    EXPECT_EQ(ById(*first, "Button Connect")->id, ById(*second, "Button Connect")->id);
    EXPECT_EQ(ById(*first, "List")->children, ById(*second, "List")->children);
}

TEST_F(AccessibleTreeBuilderTest, ActionsPressOnlyWhatAUserCouldPress) {
    a11y::SnapshotPtr tree = builder.Build();
    const uint32_t button = ById(*tree, "Button Connect")->id;
    const uint32_t secondRow = ById(*tree, "List")->children[1];
    EXPECT_TRUE(builder.DoAction(button, 0));
    EXPECT_EQ(delegate.clicks, 1);
    EXPECT_FALSE(builder.DoAction(button, 1));
    EXPECT_FALSE(builder.DoAction(ById(*tree, "Label Side")->id, 0));
    EXPECT_TRUE(builder.DoAction(secondRow, 0));
    EXPECT_EQ(delegate.rows, std::vector<int>{1});

    // Under a modal dialog the window takes no input: its buttons read as insensitive and
    // their actions are refused.
    frame.EnableWindow(false);
    tree = builder.Build();
    EXPECT_FALSE(ById(*tree, "Button Connect")->HasState(state::kSensitive));
    EXPECT_FALSE(builder.DoAction(button, 0));
    EXPECT_FALSE(builder.DoAction(secondRow, 0));
    EXPECT_EQ(delegate.clicks, 1);
    EXPECT_EQ(delegate.rows, std::vector<int>{1});

    // A widget that is gone cannot be pressed by its old id.
    frame.EnableWindow(true);
    connect.SetVisible(0);
    EXPECT_FALSE(builder.DoAction(button, 0));
    EXPECT_EQ(delegate.clicks, 1);
}

}  // namespace
