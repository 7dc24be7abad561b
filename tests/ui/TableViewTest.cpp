// The table view: row geometry (header, spacing, scrolling), choosing a row with the mouse,
// keeping the chosen row across refills by the match key, and the visible row range.

#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/ITListViewDelegate.h"
#include "ui/SItemList.h"
#include "ui/STTableView.h"

namespace ui_test {
namespace {

class RecordingListDelegate : public ITListViewDelegate {
public:
    void ListViewItemSelected(STTableView*, int row, const SItem& item) override {
        rows.push_back(row);
        keys.push_back(item.GetValue("BluetoothKey"));
    }
    std::vector<int> rows;
    std::vector<std::string> keys;
};

std::vector<SItem> Devices(const std::vector<std::string>& keys) {
    std::vector<SItem> items;
    for (const std::string& key : keys) {
        SItem item;
        item.SetValue("BluetoothName", "Auralis " + key);
        item.SetValue("BluetoothKey", key);
        items.push_back(item);
    }
    return items;
}

class TableViewTest : public UiTest {
protected:
    TableViewTest() {
        CreateFrame(400, 300);
        table.Create("Table", &frame.root, SMargin(10, 10, -1, -1), SSize(200, 100));
        table.SetBorderColor(0x00BFBFBFu);
        table.AddColumn("BluetoothName", 178, "Nothing");
        table.SetRowHeight(30);
        table.SetDelegate(&delegate);
        Pump();
    }

    // Presses at one row and releases at another (frame pixels at the rows' middles).
    void PressAndRelease(int pressRow, int releaseRow) {
        const SRect frameRect = table.GetRect(SWindowBase::kRectInFrame, 0);
        const auto y = [&](int row) {
            const SRect r = table.RowRect(row);
            return static_cast<int>(frameRect.top + (r.top + r.bottom) / 2);
        };
        const int x = static_cast<int>(frameRect.left + 50);
        backend.injectMouseMove(WindowId(), x, y(pressRow));
        backend.injectButtonDown(WindowId(), x, y(pressRow));
        backend.injectMouseMove(WindowId(), x, y(releaseRow));
        backend.injectButtonUp(WindowId(), x, y(releaseRow));
        Pump();
    }

    STTableView table;
    RecordingListDelegate delegate;
};

TEST_F(TableViewTest, RowsLieUnderTheHeaderOnePitchApartAndGapsBelongToNoRow) {
    table.SetItems(Devices({"1", "2", "3"}), "BluetoothKey");
    // The one-unit border keeps the rows inside it.
    EXPECT_EQ(table.RowRect(0), SRect(1, 1, 199, 31));
    EXPECT_EQ(table.RowAt(SPoint(50, 2)), 0);
    EXPECT_EQ(table.RowAt(SPoint(50, 61)), 2);
    EXPECT_EQ(table.RowAt(SPoint(50, 95)), -1);  // below the last row

    table.SetHeaderHeight(20);
    table.SetSpacing(4);
    EXPECT_EQ(table.RowAt(SPoint(50, 10)), -1);  // the header
    EXPECT_EQ(table.RowAt(SPoint(50, 21)), 0);
    EXPECT_EQ(table.RowAt(SPoint(50, 53)), -1);  // the gap after row 0 (21 + 30 .. 21 + 34)
    EXPECT_EQ(table.RowAt(SPoint(50, 56)), 1);
    EXPECT_EQ(table.GetContentExtent().height, 20 + 3 * 34 - 4);
}

TEST_F(TableViewTest, PressAndReleaseOnARowChoosesItAndTellsTheDelegate) {
    table.SetItems(Devices({"10", "20", "30"}), "BluetoothKey");
    PressAndRelease(1, 1);
    EXPECT_EQ(delegate.rows, (std::vector<int>{1}));
    EXPECT_EQ(delegate.keys, (std::vector<std::string>{"20"}));
    EXPECT_EQ(table.GetSelectedRow(), 1);
    ASSERT_NE(table.GetSelectedItem(), nullptr);
    EXPECT_EQ(table.GetSelectedItem()->GetValue("BluetoothName"), "Auralis 20");

    // The row under the pointer is tracked, and forgotten when the pointer leaves.
    const SRect frameRect = table.GetRect(SWindowBase::kRectInFrame, 0);
    backend.injectMouseMove(WindowId(), static_cast<int>(frameRect.left + 50),
                            static_cast<int>(frameRect.top + 75));
    Pump();
    EXPECT_EQ(table.GetHoveredRow(), 2);
    backend.injectMouseMove(WindowId(), 390, 290);
    Pump();
    EXPECT_EQ(table.GetHoveredRow(), -1);

    // Releasing on another row chooses nothing, and the capture is given back.
    PressAndRelease(0, 2);
    EXPECT_EQ(delegate.rows.size(), 1u);
    EXPECT_EQ(table.GetSelectedRow(), 1);
    EXPECT_EQ(table.HasCapture(), 0);
}

TEST_F(TableViewTest, RefillKeepsTheChosenRowOnTheSameKeyOrDropsIt) {
    table.SetItems(Devices({"10", "20", "30"}), "BluetoothKey");
    table.SetSelectedRow(1);
    // The chosen device moved to the end of a longer list.
    table.SetItems(Devices({"5", "10", "30", "20"}), "BluetoothKey");
    EXPECT_EQ(table.GetSelectedRow(), 3);
    EXPECT_EQ(table.GetSelectedItem()->GetValue("BluetoothKey"), "20");
    // Names may change; the key decides.
    std::vector<SItem> renamed = Devices({"20"});
    renamed[0].SetValue("BluetoothName", "Renamed");
    table.SetItems(renamed, "BluetoothKey");
    EXPECT_EQ(table.GetSelectedRow(), 0);
    // The chosen device left: no row is chosen, not whichever row took its place.
    table.SetItems(Devices({"10", "30"}), "BluetoothKey");
    EXPECT_EQ(table.GetSelectedRow(), -1);
    EXPECT_EQ(table.GetSelectedItem(), nullptr);
    // An item list is read the same way.
    table.SetSelectedRow(1);
    SItemList list;
    for (const SItem& item : Devices({"30", "40"})) {
        list.Add(item);
    }
    table.SetItemList(list, "BluetoothKey");
    EXPECT_EQ(table.GetSelectedRow(), 0);
}

TEST_F(TableViewTest, ScrollingMovesTheVisibleRangeAndShrinkingClampsIt) {
    std::vector<std::string> keys;
    for (int i = 0; i < 20; ++i) {
        keys.push_back(std::to_string(i));
    }
    table.SetItems(Devices(keys), "BluetoothKey");
    Pump();
    // 98 units of rows are visible: rows 0..3 (the fourth partly).
    EXPECT_EQ(table.GetVisibleRange(), SRange(0, 4));
    table.EnsureVisible(10);
    EXPECT_EQ(table.GetScrollOffset().y, 11 * 30 - 98);
    EXPECT_EQ(table.GetVisibleRange(), SRange(7, 11));
    EXPECT_EQ(table.RowAt(SPoint(50, 97)), 10);

    // Fewer rows than fit: the view scrolls back to the top.
    table.SetItems(Devices({"a", "b"}), "BluetoothKey");
    EXPECT_EQ(table.GetScrollOffset().y, 0);
    EXPECT_EQ(table.GetVisibleRange(), SRange(0, 2));
    table.SetItems({}, "BluetoothKey");
    EXPECT_EQ(table.GetVisibleRange(), SRange(0, 0));
    EXPECT_EQ(table.RowAt(SPoint(50, 5)), -1);
}

TEST_F(TableViewTest, ChosenRowIsDrawnWithTheSelectionColour) {
    table.SetItems(Devices({"1", "2"}), "BluetoothKey");
    table.SetSelectedRow(1);
    Pump();
    const SRect frameRect = table.GetRect(SWindowBase::kRectInFrame, 0);
    const int x = static_cast<int>(frameRect.left + 190);
    const uint32_t chosen = PresentedPixel(x, static_cast<int>(frameRect.top + 45));
    const uint32_t plain = PresentedPixel(x, static_cast<int>(frameRect.top + 15));
    EXPECT_EQ(chosen, 0xFFFDF2E8u);
    EXPECT_EQ(plain, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace ui_test
