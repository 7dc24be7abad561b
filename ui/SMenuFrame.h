#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ui/IMenuItemDelegate.h"
#include "ui/SMenuEntry.h"
#include "ui/SMenuItem.h"
#include "ui/SMenuPanel.h"
#include "ui/SWindowFrame.h"

class SImage;

// A drop-down menu in a borderless popup window of its own: one SMenuItem per entry (at most
// kMaxItems), stacked top to bottom on an SMenuPanel. The window is made once and shown and
// hidden on demand.
//
// Open shows it without a loop of its own: the owner keeps handling its events while the menu is
// up, and the closed handler runs once the menu has gone, whatever closed it. Choosing an enabled
// entry closes the menu and posts kCommandMessage with the entry's command to the owner
// (SWindowFrame hands it to its command delegates). The menu also closes on Escape, when it or
// its owner loses the focus (OwnerLostFocus), and when its owner calls CloseMenu (a press
// outside the menu, a second press of the button that opened it). Up and Down highlight the
// entries in turn (skipping separators and greyed ones); Return or Space chooses the
// highlighted one.
//
// Sub-menus are not supported: every entry is a command. UI thread only.
class SMenuFrame : public SWindowFrame, public IMenuItemDelegate {
public:
    static constexpr std::size_t kMaxItems = 30;
    static constexpr double kMinimumWidth = 180;

    SMenuFrame();
    ~SMenuFrame() override;

    // No item tracked, not hovering.
    void ResetState();
    // Shows `menu`'s entries with the menu's top-left corner (its shadow included) at the
    // screen point (pixels), owned by `owner`. Returns 1 when the menu is shown.
    int Open(SWindowFrame* owner, SMenuDefinition* menu, int screenX, int screenY);
    // Hides the menu (nothing when it is not shown) and runs the closed handler.
    void CloseMenu();
    bool IsOpen() const { return m_open; }
    void SetClosedHandler(std::function<void()> handler) { m_closedHandler = std::move(handler); }

    // The owner's window lost the focus: the menu closes unless it took the focus itself (the
    // check runs after the events already queued, where the menu's own focus gain would be).
    void OwnerLostFocus();

    std::size_t GetItemCount() const { return m_itemCount; }
    SMenuItem* GetItem(std::size_t index);
    SMenuPanel& GetPanel() { return m_panel; }
    // The menu's size for `menu`, logical units, shadow included.
    static SSize SizeFor(const SMenuDefinition& menu);

    // ---- IMenuItemDelegate
    void MenuItemChosen(SMenuItem* item) override;

    // ---- SWindowFrame
    int OnCreate() override;
    void OnClose() override;
    int PreTranslateKey(const SKeyMessage& message) override;
    void onWindowEvent(const platform::window::WindowEvent& event) override;

    // The entry the arrow keys highlight, -1 for none.
    int GetKeyItem() const { return m_keyItem; }

private:
    void BuildItems(SMenuDefinition* menu);
    // Moves the keyboard highlight to the next choosable entry in `step`'s direction, wrapping
    // round; from no highlight, Down starts at the first and Up at the last.
    void MoveKeyItem(int step);
    void SetKeyItem(int index);
    void PostCommand(int command);

    SMenuPanel m_panel;
    std::vector<std::unique_ptr<SMenuItem>> m_items;
    std::size_t m_itemCount = 0;
    std::unique_ptr<SImage> m_checkImage;
    SWindowFrame* m_menuOwner = nullptr;
    std::function<void()> m_closedHandler;
    bool m_open = false;
    bool m_hasFocus = false;
    int m_keyItem = -1;
    // Bumped on every open, so a late focus check of an earlier opening does nothing.
    uint64_t m_opening = 0;
};
