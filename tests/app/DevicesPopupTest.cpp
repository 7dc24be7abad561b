// The device-list dialog: what it shows when it opens, Stop (the search ends, the list stays and
// can still be chosen from), Cancel and the close button (no choice), choosing a row, and
// refreshes from the controller's items while it is open keeping the chosen row.

#include <string>
#include <thread>
#include <vector>

#include "app/SBluetoothDevicesPopup.h"
#include "link/BluetoothHandle.h"
#include "platform/window/Keys.h"
#include "services/SLocale.h"
#include "tests/app/ScreenTestSupport.h"
#include "ui/SItemList.h"

namespace app_test {
namespace {

SItem Device(const std::string& name, const std::string& key) {
    SItem item;
    item.SetValue("BluetoothName", name);
    item.SetValue("BluetoothKey", key);
    return item;
}

void Fill(SItemList& list, const std::vector<std::pair<std::string, std::string>>& devices) {
    auto guard = list.Lock();
    list.ClearLocked(guard);
    for (const auto& [name, key] : devices) {
        list.AddLocked(guard, Device(name, key));
    }
}

class DevicesPopupTest : public ScreenTest {
protected:
    DevicesPopupTest() {
        CreateFrame(424, 515);
        Fill(items, {{"Auralis2", "11"}, {"Auralis+ (Kitchen)", "22"}, {"Auralis2 Red", "33"}});
        popup.SetBluetoothHandle(&link);
        popup.SetItemList(&items);
        link.flags().finding = true;
    }

    // Runs the dialog; `script` is called on every turn of its loop once it has opened and
    // returns true when it is done (the dialog must have closed by then).
    void Run(const std::function<bool()>& script) {
        bool done = false;
        RunInLoop([&] {
            if (!done && popup.IsWindow() && popup.GetRoot().IsAnimating() == 0) {
                done = script();
            }
            // Goes on until the window is gone: the zoom-out runs on the test clock.
            return opened && !popup.IsWindow();
        });
        opened = true;
        EXPECT_EQ(popup.DoModal(&frame), 1);
        Pump();
    }

    void ClickRow(int row) {
        BluetoothDeviceListView& list = popup.GetPanel().GetListView();
        const SRect view = list.GetRect(SWindowBase::kRectInFrame, 0);
        const SRect r = list.RowRect(row);
        const int x = static_cast<int>(view.left + 40);
        const int y = static_cast<int>(view.top + (r.top + r.bottom) / 2);
        const auto id = popup.GetWindow()->id();
        backend.injectMouseMove(id, x, y);
        backend.injectButtonDown(id, x, y);
        backend.injectButtonUp(id, x, y);
        Pump();
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        BluetoothDeviceListView& list = popup.GetPanel().GetListView();
        for (int row = 0; row < list.GetItemCount(); ++row) {
            names.push_back(list.GetItem(row)->GetValue("BluetoothName"));
        }
        return names;
    }

    BluetoothHandle link;
    SItemList items;
    SBluetoothDevicesPopup popup;
    bool opened = false;
};

TEST_F(DevicesPopupTest, OpensWithTheFoundDevicesARunningSearchAndStop) {
    Run([&] {
        SBluetoothDevicesPanel& panel = popup.GetPanel();
        EXPECT_EQ(popup.GetTitleBar().GetTitle(), AfxGetStrRes("MNU_Kestrane_PairBlueTooth"));
        EXPECT_EQ(popup.GetWindow()->screenRect().width, 350 + 16);
        EXPECT_EQ(popup.GetWindow()->screenRect().height, 409 + 16);
        EXPECT_EQ(panel.GetName(), "SBluetoothDevicesPanel");
        EXPECT_EQ(Names(),
                  (std::vector<std::string>{"Auralis2", "Auralis+ (Kitchen)", "Auralis2 Red"}));
        BluetoothDeviceListView& list = panel.GetListView();
        EXPECT_EQ(list.GetName(), "_cameraPresetsListView");
        EXPECT_EQ(list.GetColumns().size(), 1u);
        if (!list.GetColumns().empty()) {
            EXPECT_EQ(list.GetColumns()[0].valueKey, "BluetoothName");
            EXPECT_EQ(list.GetColumns()[0].width, 178);
            EXPECT_EQ(list.GetColumns()[0].header, "Nothing");
        }
        EXPECT_EQ(list.GetRowHeight(), 30);
        EXPECT_EQ(list.GetHeaderHeight(), 0);
        EXPECT_EQ(list.GetBorderColor(), 0x00BFBFBFu);
        const SRect area = panel.GetRect(SWindowBase::kRectOwnLogical, 0);
        EXPECT_EQ(list.GetRect(SWindowBase::kRectInParent, 0),
                  SRect(10, 10, area.right - 10, area.bottom - 70));
        EXPECT_EQ(panel.GetLoadingControl().GetName(), "Loading Control");
        EXPECT_NE(panel.GetLoadingControl().GetVisible(), 0);
        EXPECT_NE(panel.GetStopButton().GetVisible(), 0);
        EXPECT_EQ(panel.GetCancelButton().GetOwnVisible(), 0);
        EXPECT_EQ(panel.GetStopButton().GetText(), AfxGetStrRes("MNU_Kestrane_Stop"));
        EXPECT_EQ(panel.GetCancelButton().GetText(), AfxGetStrRes("MNU_Zephiro_Cancel"));
        popup.CloseDialog(0);
        return true;
    });
    EXPECT_EQ(popup.GetChosenItem(), nullptr);
}

TEST_F(DevicesPopupTest, StopEndsTheSearchButAListedDeviceCanStillBeChosen) {
    int phase = 0;
    Run([&] {
        SBluetoothDevicesPanel& panel = popup.GetPanel();
        if (phase == 0) {
            ClickOn(panel.GetStopButton());
            EXPECT_FALSE(link.flags().finding.load());
            EXPECT_EQ(panel.GetLoadingControl().GetOwnVisible(), 0);
            EXPECT_EQ(panel.GetStopButton().GetOwnVisible(), 0);
            EXPECT_EQ(panel.GetCancelButton().GetOwnVisible(), 1);
            EXPECT_EQ(Names().size(), 3u);
            EXPECT_TRUE(popup.IsWindow());
            EXPECT_EQ(popup.IsClosing(), 0);
            phase = 1;
            return false;
        }
        ClickRow(1);
        return true;
    });
    EXPECT_FALSE(popup.IsWindow());
    ASSERT_NE(popup.GetChosenItem(), nullptr);
    EXPECT_EQ(popup.GetChosenItem()->GetValue("BluetoothKey"), "22");
    EXPECT_EQ(popup.GetChosenItem()->GetValue("BluetoothName"), "Auralis+ (Kitchen)");
}

TEST_F(DevicesPopupTest, StopThenCancelAndTheCloseButtonChooseNothing) {
    int phase = 0;
    Run([&] {
        SBluetoothDevicesPanel& panel = popup.GetPanel();
        if (phase == 0) {
            ClickOn(panel.GetStopButton());
            phase = 1;
            return false;
        }
        ClickOn(panel.GetCancelButton());
        return true;
    });
    EXPECT_FALSE(popup.IsWindow());
    EXPECT_EQ(popup.GetChosenItem(), nullptr);

    // A second run of the same dialog starts afresh and closes with its close button.
    SBluetoothDevicesPopup second;
    second.SetItemList(&items);
    bool clicked = false;
    RunInLoop([&] {
        if (!clicked && second.IsWindow() && second.GetRoot().IsAnimating() == 0) {
            EXPECT_EQ(second.GetPanel().GetListView().GetItemCount(), 3);
            SWindowBase* close = second.GetTitleBar().FindChild("CloseButton");
            EXPECT_NE(close, nullptr);
            if (close != nullptr) {
                ClickOn(*close);
            }
            clicked = true;
        }
        return clicked && !second.IsWindow();
    });
    second.DoModal(&frame);
    Pump();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(second.GetChosenItem(), nullptr);
}

TEST_F(DevicesPopupTest, RefreshesFromAnotherThreadsItemsKeepTheChosenRow) {
    int phase = 0;
    Run([&] {
        BluetoothDeviceListView& list = popup.GetPanel().GetListView();
        if (phase == 0) {
            list.SetSelectedRow(2);  // "Auralis2 Red"
            // The controller's discovery thread refills the items: a new device comes first.
            std::thread worker([this] {
                Fill(items, {{"Auralis2 Blue", "5"},
                             {"Auralis2", "11"},
                             {"Auralis2 Red", "33"},
                             {"Auralis+ (Kitchen)", "22"}});
            });
            worker.join();
            popup.RefreshList();
            EXPECT_EQ(Names(), (std::vector<std::string>{"Auralis2 Blue", "Auralis2",
                                                         "Auralis2 Red", "Auralis+ (Kitchen)"}));
            EXPECT_EQ(list.GetSelectedRow(), 2);
            Fill(items, {{"Auralis2 Red", "33"}, {"Auralis2", "11"}});
            popup.RefreshList();
            EXPECT_EQ(list.GetSelectedRow(), 0);
            // The chosen device went away: nothing is chosen rather than its neighbour.
            Fill(items, {{"Auralis2", "11"}});
            popup.RefreshList();
            EXPECT_EQ(list.GetSelectedRow(), -1);
            phase = 1;
            return false;
        }
        ClickRow(0);
        return true;
    });
    ASSERT_NE(popup.GetChosenItem(), nullptr);
    EXPECT_EQ(popup.GetChosenItem()->GetValue("BluetoothKey"), "11");
}

TEST_F(DevicesPopupTest, AnEmptySearchShowsNoRowsUntilDevicesAppear) {
    Fill(items, {});
    int phase = 0;
    Run([&] {
        if (phase == 0) {
            EXPECT_EQ(popup.GetPanel().GetListView().GetItemCount(), 0);
            EXPECT_NE(popup.GetPanel().GetLoadingControl().GetVisible(), 0);
            Fill(items, {{"Auralis2", "11"}, {"Auralis+", "22"}});
            popup.RefreshList();
            EXPECT_EQ(Names(), (std::vector<std::string>{"Auralis2", "Auralis+"}));
            phase = 1;
            return false;
        }
        ClickRow(1);
        return true;
    });
    ASSERT_NE(popup.GetChosenItem(), nullptr);
    EXPECT_EQ(popup.GetChosenItem()->GetValue("BluetoothName"), "Auralis+");
}

TEST_F(DevicesPopupTest, StopWithoutALinkOnlyChangesTheButtons) {
    popup.SetBluetoothHandle(nullptr);
    Run([&] {
        ClickOn(popup.GetPanel().GetStopButton());
        EXPECT_EQ(popup.GetPanel().GetCancelButton().GetOwnVisible(), 1);
        EXPECT_TRUE(link.flags().finding.load());
        popup.CloseDialog(0);
        return true;
    });
    EXPECT_EQ(popup.GetChosenItem(), nullptr);
}

TEST_F(DevicesPopupTest, TheArrowsMoveInTheListAndReturnChoosesTheDevice) {
    namespace keys = platform::window::keys;
    int phase = 0;
    Run([&] {
        BluetoothDeviceListView& list = popup.GetPanel().GetListView();
        const auto id = popup.GetWindow()->id();
        if (phase == 0) {
            // The list has the keyboard as soon as the dialog opens.
            EXPECT_EQ(popup.agent.GetFocus(), &list);
            backend.injectKeyDown(id, keys::kDown);
            backend.injectKeyDown(id, keys::kDown);
            backend.injectKeyDown(id, keys::kDown);
            backend.injectKeyDown(id, keys::kUp);
            Pump();
            EXPECT_EQ(list.GetSelectedRow(), 1);
            EXPECT_EQ(popup.GetChosenItem(), nullptr);  // moving chooses nothing
            EXPECT_TRUE(popup.agent.IsFocusRingShown());
            phase = 1;
            return false;
        }
        backend.injectKeyDown(id, keys::kReturn);
        Pump();
        return true;
    });
    EXPECT_FALSE(popup.IsWindow());
    ASSERT_NE(popup.GetChosenItem(), nullptr);
    EXPECT_EQ(popup.GetChosenItem()->GetValue("BluetoothKey"), "22");
}

TEST_F(DevicesPopupTest, EscapeClosesWithoutAChoiceAndTabReachesStop) {
    namespace keys = platform::window::keys;
    Run([&] {
        const auto id = popup.GetWindow()->id();
        backend.injectKeyDown(id, keys::kTab);
        Pump();
        EXPECT_EQ(popup.agent.GetFocus(), &popup.GetPanel().GetStopButton());
        backend.injectKeyDown(id, keys::kSpace);  // Stop
        Pump();
        EXPECT_FALSE(link.flags().finding.load());
        // The focus follows to Cancel, which took Stop's place.
        EXPECT_EQ(popup.agent.GetFocus(), &popup.GetPanel().GetCancelButton());
        backend.injectKeyDown(id, keys::kEscape);
        Pump();
        return true;
    });
    EXPECT_FALSE(popup.IsWindow());
    EXPECT_EQ(popup.GetChosenItem(), nullptr);
}

TEST_F(DevicesPopupTest, AnEmptyListSaysItIsSearchingAndAfterStopThatNothingWasFound) {
    Fill(items, {});
    Run([&] {
        SBluetoothDevicesPanel& panel = popup.GetPanel();
        BluetoothDeviceListView& list = panel.GetListView();
        EXPECT_EQ(list.GetEmptyText(), AfxGetStrRes("MSG_SearchingEarbuds"));
        EXPECT_NE(list.GetEmptyText(), "MSG_SearchingEarbuds");  // the text table has it
        ClickOn(panel.GetStopButton());
        EXPECT_EQ(list.GetEmptyText(), AfxGetStrRes("MSG_NoEarbudsFound"));
        popup.CloseDialog(0);
        return true;
    });
}

}  // namespace
}  // namespace app_test
