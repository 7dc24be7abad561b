#pragma once

#include "app/SBluetoothDevicesPanel.h"
#include "ui/SDialogFrame.h"
#include "ui/SSize.h"

class BluetoothHandle;
class SItem;
class SItemList;

// The device-list dialog the controller opens when the search found more than one pair of
// earbuds. It shows the controller's device items, lets the user stop the search and choose a
// pair, and afterwards tells which item was chosen. The controller creates it, fills it, runs
// it modally, refreshes it from the same items while it is open, reads the choice and destroys
// it. UI thread only.
class SBluetoothDevicesPopup : public SDialogFrame {
public:
    static constexpr double kWidth = 350;
    static constexpr double kHeight = 409;

    SBluetoothDevicesPopup();
    ~SBluetoothDevicesPopup() override;

    // The link whose search the Stop button ends (not owned).
    void SetBluetoothHandle(BluetoothHandle* handle) { m_handle = handle; }
    BluetoothHandle* GetBluetoothHandle() const { return m_handle; }
    // The device items the list shows (not owned; it must outlive the dialog). Fills the list
    // at once when the dialog is open, else when it opens.
    void SetItemList(SItemList* items);
    // Reads the same items again; the chosen row stays on the item with the same
    // "BluetoothKey".
    void RefreshList();
    // Runs the dialog modally at its size with its title. Returns 1 (0 when no window could be
    // made).
    using SDialogFrame::DoModal;
    int DoModal(SWindowFrame* ownerFrame);
    // The item chosen in the list; null when the dialog closed without a choice.
    const SItem* GetChosenItem() const;

    SBluetoothDevicesPanel& GetPanel() { return m_panel; }

    void OnCreateContent() override;
    void OnCloseButton() override;

private:
    BluetoothHandle* m_handle = nullptr;
    SItemList* m_items = nullptr;
    SBluetoothDevicesPanel m_panel;
};
