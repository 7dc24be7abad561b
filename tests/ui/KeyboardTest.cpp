// The keyboard in dialogs and lists: Escape cancels and Return presses the default button of a
// message dialog, Tab and Shift+Tab move a focus ring that is drawn where the focus is, Space
// and Return press the focused button, hidden widgets are skipped, and the arrow keys move the
// selection of a table view whose Return chooses the row.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TickCount.h"
#include "platform/window/Keys.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ITListViewDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SDispatcher.h"
#include "ui/SMessageTextPanel.h"
#include "ui/SPopupDialog.h"
#include "ui/STTableView.h"

namespace ui_test {
namespace {

namespace keys = platform::window::keys;

class KeyboardTest : public UiTest {
protected:
    KeyboardTest() {
        app->GetDispatcher().running = 1;
        app->GetDispatcher().SetLastFrameTick(clock.now());
        CreateFrame(600, 400);
    }
    ~KeyboardTest() override { app->GetDispatcher().running = 0; }

    void Advance(uint64_t milliseconds) {
        for (uint64_t done = 0; done < milliseconds; done += 5) {
            clock.advance(5);
            Pump();
        }
    }
    // Opens a message dialog of `type` without a loop of its own; the zoom-in has ended.
    void Open(SPopupDialog& dialog) {
        ASSERT_EQ(dialog.CreateDialog(&frame, "Question", SSize(500, 200)), 1);
        dialog.ShowDialog();
        Advance(SDialogFrame::kZoomMs + 40);
        ASSERT_EQ(dialog.GetRoot().IsAnimating(), 0);
    }
    void Key(SWindowFrame& target, int key, uint32_t modifiers = platform::window::kModNone) {
        backend.injectKeyDown(target.GetWindow()->id(), key, modifiers);
        backend.injectKeyUp(target.GetWindow()->id(), key, modifiers);
        Pump();
    }
    uint32_t DialogPixel(SWindowFrame& dialog, double x, double y) {
        auto* window = backend.window(dialog.GetWindow()->id());
        return SurfacePixel(window->lastFrame(), static_cast<int>(x), static_cast<int>(y));
    }

    // The ring's blue (RGB 1A73E8), allowing for the smoothing of its edges; the button's own
    // black outline and white face are far from it.
    static bool IsRing(uint32_t argb) {
        const uint32_t red = (argb >> 16) & 0xFF;
        const uint32_t blue = argb & 0xFF;
        return blue > 0xB0 && red < 0x70;
    }

    SMessageTextPanel text{"Replace the file?"};
    platform::ManualTickSource clock;
};

TEST_F(KeyboardTest, EscapeCancelsAndReturnPressesTheDefaultButton) {
    struct Case {
        int type;
        int key;
        int result;
    };
    const Case cases[] = {
        {1, keys::kEscape, 2},                            // OK, Cancel: Escape is Cancel
        {1, keys::kReturn, 1},                            // and Return is OK
        {4, keys::kEscape, SPopupDialog::kResultClosed},  // Yes, No: Escape only closes
        {3, keys::kReturn, 6},                            // Yes, No, Cancel: Return is Yes
        {6, keys::kReturn, 10},  // Cancel, Retry, Continue: the first that is not Cancel
        {0, keys::kEscape, SPopupDialog::kResultClosed},
    };
    for (const Case& c : cases) {
        SPopupDialog dialog(&text, c.type);
        Open(dialog);
        Key(dialog, c.key);
        EXPECT_EQ(dialog.IsClosing(), 1) << "type " << c.type << " key " << c.key;
        EXPECT_EQ(dialog.GetResult(), c.result) << "type " << c.type << " key " << c.key;
        // A second key during the zoom-out changes nothing.
        Key(dialog, keys::kReturn);
        EXPECT_EQ(dialog.GetResult(), c.result);
        Advance(SDialogFrame::kZoomMs + 40);
        EXPECT_FALSE(dialog.IsWindow());
    }
}

TEST_F(KeyboardTest, TabMovesAVisibleRingAndSpaceOrReturnPressTheFocusedButton) {
    SPopupDialog dialog(&text, 3);  // Yes, No, Cancel
    Open(dialog);
    SMessageButtonPanel& row = dialog.GetButtonPanel();
    SWindowBase& close = dialog.GetTitleBar().GetCloseButton();
    SCommonButton* yes = row.GetButton(0);
    SCommonButton* no = row.GetButton(1);
    SCommonButton* cancel = row.GetButton(2);
    // Nothing has the focus and no ring is drawn until Tab is pressed.
    EXPECT_EQ(dialog.agent.GetFocus(), nullptr);
    EXPECT_FALSE(dialog.agent.IsFocusRingShown());

    Key(dialog, keys::kTab);
    EXPECT_EQ(dialog.agent.GetFocus(), &close);
    Key(dialog, keys::kTab);
    EXPECT_EQ(dialog.agent.GetFocus(), yes);
    EXPECT_TRUE(dialog.agent.IsFocusRingShown());
    Advance(20);
    // The ring runs along the button's edge, where unfocused buttons are drawn black.
    const SRect yesRect = yes->GetRect(SWindowBase::kRectInFrame, 0);
    const SRect noRect = no->GetRect(SWindowBase::kRectInFrame, 0);
    const double middle = (yesRect.left + yesRect.right) / 2;
    const double noMiddle = (noRect.left + noRect.right) / 2;
    EXPECT_TRUE(IsRing(DialogPixel(dialog, middle, yesRect.top + 1)));
    EXPECT_FALSE(IsRing(DialogPixel(dialog, noMiddle, noRect.top + 1)));

    Key(dialog, keys::kTab);
    Key(dialog, keys::kTab);
    EXPECT_EQ(dialog.agent.GetFocus(), cancel);
    Key(dialog, keys::kTab, platform::window::kModShift);
    EXPECT_EQ(dialog.agent.GetFocus(), no);
    Advance(20);
    EXPECT_FALSE(IsRing(DialogPixel(dialog, middle, yesRect.top + 1)));  // the ring moved on
    EXPECT_TRUE(IsRing(DialogPixel(dialog, noMiddle, noRect.top + 1)));

    // A mouse press hides the ring; the focus stays.
    backend.injectButtonDown(dialog.GetWindow()->id(), 20, 100);
    backend.injectButtonUp(dialog.GetWindow()->id(), 20, 100);
    Pump();
    EXPECT_FALSE(dialog.agent.IsFocusRingShown());

    // Return presses the focused button, not the default one.
    Key(dialog, keys::kReturn);
    EXPECT_EQ(dialog.GetResult(), 7);
    Advance(SDialogFrame::kZoomMs + 40);

    SPopupDialog second(&text, 1);
    Open(second);
    Key(second, keys::kTab, platform::window::kModShift);  // from nothing: the last one
    EXPECT_EQ(second.agent.GetFocus(), second.GetButtonPanel().GetButton(1));
    Key(second, keys::kSpace);
    EXPECT_EQ(second.GetResult(), 2);
    Advance(SDialogFrame::kZoomMs + 40);
}

TEST_F(KeyboardTest, EscapeClosesAPlainDialogOnlyWhileItShowsItsCloseButton) {
    SDialogFrame plain;
    ASSERT_EQ(plain.CreateDialog(&frame, "Plain", SSize(300, 200)), 1);
    plain.GetTitleBar().GetCloseButton().SetVisible(0);
    plain.ShowDialog();
    Advance(SDialogFrame::kZoomMs + 40);
    Key(plain, keys::kEscape);
    Key(plain, keys::kReturn);  // no default button: nothing
    EXPECT_EQ(plain.IsClosing(), 0);
    plain.GetTitleBar().GetCloseButton().SetVisible(1);
    Key(plain, keys::kEscape);
    EXPECT_EQ(plain.IsClosing(), 1);
    Advance(SDialogFrame::kZoomMs + 40);
    EXPECT_FALSE(plain.IsWindow());
}

// Tab follows the window's reading order, whatever order its widgets were made in; on a blue
// (filled) button, where the blue ring would not show, a white line inside it marks the focus.
TEST_F(KeyboardTest, TabFollowsTheReadingOrderAndTheRingShowsOnABlueButton) {
    frame.agent.tabNavigation = 1;
    SCommonButton bottom;
    SCommonButton topRight;
    SCommonButton topLeft;
    ASSERT_EQ(bottom.Create("Bottom", &frame.root, SMargin(20, 300, -1, -1), SSize(160, 40)), 1);
    ASSERT_EQ(topRight.Create("TopRight", &frame.root, SMargin(300, 24, -1, -1), SSize(160, 40)),
              1);
    ASSERT_EQ(topLeft.Create("TopLeft", &frame.root, SMargin(20, 20, -1, -1), SSize(160, 40)), 1);
    for (SCommonButton* button : {&bottom, &topRight, &topLeft}) {
        button->SetText("Go");
        button->SetTextColor(0x00FFFFFF);  // a white caption: the face is filled blue
        ASSERT_TRUE(button->HasFilledFace());
    }
    Pump();
    std::vector<SWindowBase*> order;
    for (int i = 0; i < 3; ++i) {
        Key(frame, keys::kTab);
        order.push_back(frame.agent.GetFocus());
    }
    EXPECT_EQ(order, (std::vector<SWindowBase*>{&topLeft, &topRight, &bottom}));
    Key(frame, keys::kTab, platform::window::kModShift);
    EXPECT_EQ(frame.agent.GetFocus(), &topRight);

    // Focused: a white line inside the edge; the unfocused button is blue at the same place.
    Advance(20);
    auto white = [](uint32_t argb) {
        return ((argb >> 16) & 0xFF) > 0xD0 && ((argb >> 8) & 0xFF) > 0xD0 && (argb & 0xFF) > 0xD0;
    };
    const SRect focused = topRight.GetRect(SWindowBase::kRectInFrame, 0);
    const SRect other = topLeft.GetRect(SWindowBase::kRectInFrame, 0);
    const int x = static_cast<int>((focused.left + focused.right) / 2);
    const int otherX = static_cast<int>((other.left + other.right) / 2);
    EXPECT_TRUE(white(PresentedPixel(x, static_cast<int>(focused.top) + 4)));
    EXPECT_FALSE(white(PresentedPixel(otherX, static_cast<int>(other.top) + 4)));
    for (SCommonButton* button : {&bottom, &topRight, &topLeft}) {
        button->Destroy();
    }
}

TEST_F(KeyboardTest, TabSkipsButtonsInsideHiddenPanels) {
    SPopupDialog dialog(&text, 1);
    Open(dialog);
    dialog.GetButtonPanel().SetVisible(0);
    Key(dialog, keys::kTab);
    EXPECT_EQ(dialog.agent.GetFocus(), &dialog.GetTitleBar().GetCloseButton());
    Key(dialog, keys::kTab);  // wraps round to the only visible one
    EXPECT_EQ(dialog.agent.GetFocus(), &dialog.GetTitleBar().GetCloseButton());
    dialog.CloseDialog(0);
    Pump();
}

class ChoiceRecorder : public ITListViewDelegate {
public:
    void ListViewItemSelected(STTableView*, int row, const SItem&) override {
        chosen.push_back(row);
    }
    std::vector<int> chosen;
};

TEST_F(KeyboardTest, ArrowsMoveTheTableSelectionAndReturnChoosesIt) {
    STTableView table;
    ChoiceRecorder recorder;
    table.AddColumn("Name", 100, "");
    table.SetRowHeight(30);
    table.SetDelegate(&recorder);
    table.Create("Table", &frame.root, SMargin(0, 0, -1, -1), SSize(300, 95));
    std::vector<SItem> items(6);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].SetValue("Name", "Device " + std::to_string(i));
    }
    table.SetItems(items, "Name");
    table.SetFocus();

    Key(frame, keys::kDown);  // from no selection: the first row
    EXPECT_EQ(table.GetSelectedRow(), 0);
    Key(frame, keys::kUp);  // stays at the top
    EXPECT_EQ(table.GetSelectedRow(), 0);
    Key(frame, keys::kDown);
    Key(frame, keys::kDown);
    Key(frame, keys::kDown);
    EXPECT_EQ(table.GetSelectedRow(), 3);
    EXPECT_TRUE(frame.agent.IsFocusRingShown());
    const SRange visible = table.GetVisibleRange();  // scrolled to keep row 3 in view
    EXPECT_LE(visible.start, 3);
    EXPECT_GT(visible.end, 3);
    Key(frame, keys::kEnd);
    EXPECT_EQ(table.GetSelectedRow(), 5);
    Key(frame, keys::kDown);
    EXPECT_EQ(table.GetSelectedRow(), 5);
    EXPECT_TRUE(recorder.chosen.empty());  // moving chooses nothing
    Key(frame, keys::kReturn);
    EXPECT_EQ(recorder.chosen, std::vector<int>{5});
    Key(frame, keys::kHome);
    Key(frame, keys::kSpace);
    EXPECT_EQ(recorder.chosen, (std::vector<int>{5, 0}));

    // An empty table: the arrows do nothing and Return chooses nothing.
    table.SetItems({}, "");
    Key(frame, keys::kDown);
    Key(frame, keys::kReturn);
    EXPECT_EQ(table.GetSelectedRow(), -1);
    EXPECT_EQ(recorder.chosen.size(), 2u);
    table.Destroy();
}

// Not keyboard, but the same table: a long name runs on past its column to the row's end
// instead of being cut where the column was declared.
TEST_F(KeyboardTest, TheLastColumnUsesTheWholeRow) {
    STTableView table;
    table.AddColumn("Name", 100, "");
    table.Create("Table", &frame.root, SMargin(0, 0, -1, -1), SSize(400, 60));
    SItem item;
    item.SetValue("Name", "Auralis2 of the Living Room Pair");
    table.SetItems({item}, "Name");
    Advance(40);
    int inkBeyondColumn = 0;
    for (int x = 110; x < 390; ++x) {
        for (int y = 6; y < 24; ++y) {
            inkBeyondColumn += ((PresentedPixel(x, y) >> 8) & 0xFF) < 0x80 ? 1 : 0;
        }
    }
    EXPECT_GT(inkBeyondColumn, 20);
    table.Destroy();
}

}  // namespace
}  // namespace ui_test
