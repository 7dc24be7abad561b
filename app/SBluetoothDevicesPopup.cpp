#include "app/SBluetoothDevicesPopup.h"

#include "services/SLocale.h"
#include "ui/SItemList.h"

SBluetoothDevicesPopup::SBluetoothDevicesPopup() : m_panel(this) {}

SBluetoothDevicesPopup::~SBluetoothDevicesPopup() {
    // The panel is a member: the window and its tree go while it still exists.
    Destroy();
}

void SBluetoothDevicesPopup::SetItemList(SItemList* items) {
    m_items = items;
    RefreshList();
}

void SBluetoothDevicesPopup::RefreshList() {
    if (m_items != nullptr && m_panel.IsCreated() != 0) {
        m_panel.SetItems(*m_items);
    }
}

int SBluetoothDevicesPopup::DoModal(SWindowFrame* ownerFrame) {
    return SDialogFrame::DoModal(ownerFrame, AfxGetStrRes("MNU_Kestrane_PairBlueTooth"),
                                 SSize(kWidth, kHeight));
}

const SItem* SBluetoothDevicesPopup::GetChosenItem() const {
    const auto& chosen = m_panel.GetChosenItem();
    return chosen.has_value() ? &*chosen : nullptr;
}

void SBluetoothDevicesPopup::OnCreateContent() {
    SetTitle(AfxGetStrRes("MNU_Kestrane_PairBlueTooth"));
    m_panel.ClearChosenItem();
    m_panel.Create("SBluetoothDevicesPanel", &GetContentArea(), SMargin(0, 0, 0, 0), SSize());
    RefreshList();
}

void SBluetoothDevicesPopup::OnCloseButton() {
    m_panel.ClearChosenItem();
    SDialogFrame::OnCloseButton();
}
