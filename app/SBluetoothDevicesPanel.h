#pragma once

#include <optional>
#include <string>

#include "app/BluetoothDeviceListView.h"
#include "ui/IButtonDelegate.h"
#include "ui/ITListViewDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SItem.h"
#include "ui/SLoadingAnimationControl.h"
#include "ui/SWindowBase.h"

class SBluetoothDevicesPopup;
class SItemList;

// The content of the device-list dialog: the list of found earbuds, a running search
// animation under it and a Stop button. Stop ends the search (the list stays, so a device can
// still be chosen) and turns into Cancel, which closes the dialog without a choice. Choosing a
// row remembers its item and closes the dialog. UI thread only.
class SBluetoothDevicesPanel : public SWindowBase,
                               public IButtonDelegate,
                               public ITListViewDelegate {
public:
    static constexpr const char* kNameKey = "BluetoothName";
    static constexpr const char* kMatchKey = "BluetoothKey";
    static constexpr uint32_t kListBorder = 0x00BFBFBFu;
    static constexpr double kColumnWidth = 178;
    static constexpr double kRowHeight = 30;
    static constexpr int kButtonFont = 120;  // 16 px regular
    static constexpr int kLoadingType = 4;

    explicit SBluetoothDevicesPanel(SBluetoothDevicesPopup* popup = nullptr);
    ~SBluetoothDevicesPanel() override;
    const char* GetClassName() const override { return "SBluetoothDevicesPanel"; }

    void SetPopup(SBluetoothDevicesPopup* popup) { m_popup = popup; }
    // Shows the list's items; the chosen row stays on the item with the same "BluetoothKey".
    void SetItems(const SItemList& items);
    // The item the user chose; empty when none was.
    const std::optional<SItem>& GetChosenItem() const { return m_chosen; }
    void ClearChosenItem() { m_chosen.reset(); }

    BluetoothDeviceListView& GetListView() { return m_listView; }
    SLoadingAnimationControl& GetLoadingControl() { return m_loading; }
    SCommonButton& GetStopButton() { return m_btnStop; }
    SCommonButton& GetCancelButton() { return m_btnCancel; }

    void OnCreate() override;
    void OnPaint(SDC& dc) override;

    // IButtonDelegate
    void ButtonClicked(SButton* button) override;
    // ITListViewDelegate
    void ListViewItemSelected(STTableView* view, int row, const SItem& item) override;

private:
    void OnStop();
    void CloseDialog();

    SBluetoothDevicesPopup* m_popup;
    std::optional<SItem> m_chosen;
    BluetoothDeviceListView m_listView;
    SLoadingAnimationControl m_loading;
    SCommonButton m_btnStop;
    SCommonButton m_btnCancel;
};
