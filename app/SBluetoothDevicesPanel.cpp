#include "app/SBluetoothDevicesPanel.h"

#include "app/SBluetoothDevicesPopup.h"
#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "services/SLocale.h"
#include "ui/SDC.h"
#include "ui/SItemList.h"
#include "ui/SPalette.h"

namespace {
constexpr double kButtonWidth = 124;
constexpr double kButtonHeight = 30;
constexpr double kButtonBottom = 10;
constexpr double kLoadingWidth = 618;
constexpr double kLoadingHeight = 30;
}  // namespace

SBluetoothDevicesPanel::SBluetoothDevicesPanel(SBluetoothDevicesPopup* popup)
    : m_popup(popup), m_loading(kLoadingType) {}

SBluetoothDevicesPanel::~SBluetoothDevicesPanel() = default;

void SBluetoothDevicesPanel::OnCreate() {
    m_listView.Create("_cameraPresetsListView", this, SMargin(10, 10, 10, 70), SSize());
    m_listView.SetBorderColor(kListBorder);
    if (m_listView.GetColumns().empty()) {
        m_listView.AddColumn(kNameKey, kColumnWidth, "Nothing");
    }
    m_listView.SetRowHeight(kRowHeight);
    m_listView.SetHeaderHeight(0);
    m_listView.SetSpacing(0);
    m_listView.SetDelegate(this);
    m_listView.SetEmptyText(AfxGetStrRes("MSG_SearchingEarbuds"));
    // The arrow keys and Return work in the list from the start; the ring shows once a key
    // is used.
    m_listView.SetFocus();

    m_loading.Create("Loading Control", this, SMargin(20, -1, 20, 40),
                     SSize(kLoadingWidth, kLoadingHeight));
    m_loading.SetVisible(1);

    const SMargin buttonPlace(-1, -1, -1, kButtonBottom);
    const SSize buttonSize(kButtonWidth, kButtonHeight);
    m_btnStop.Create("Button Stop", this, buttonPlace, buttonSize);
    m_btnStop.SetText(AfxGetStrRes("MNU_Kestrane_Stop"));
    m_btnStop.SetFont(kButtonFont);
    m_btnStop.SetDelegate(this);
    m_btnStop.SetVisible(1);

    m_btnCancel.Create("Button Cancel", this, buttonPlace, buttonSize, 0);
    m_btnCancel.SetText(AfxGetStrRes("MNU_Zephiro_Cancel"));
    m_btnCancel.SetFont(kButtonFont);
    m_btnCancel.SetDelegate(this);
}

void SBluetoothDevicesPanel::SetItems(const SItemList& items) {
    m_listView.SetItemList(items, kMatchKey);
}

void SBluetoothDevicesPanel::ButtonClicked(SButton* button) {
    if (button == &m_btnStop) {
        OnStop();
    } else if (button == &m_btnCancel) {
        m_chosen.reset();
        CloseDialog();
    }
}

void SBluetoothDevicesPanel::OnStop() {
    m_loading.SetVisible(0);
    m_btnCancel.SetVisible(1);
    const bool stopHadFocus = m_btnStop.HasFocus() != 0;
    m_btnStop.SetVisible(0);
    if (stopHadFocus) {
        m_btnCancel.SetFocus();  // the focus stays on a button the user can see
    }
    m_listView.SetEmptyText(AfxGetStrRes("MSG_NoEarbudsFound"));
    BluetoothHandle* handle = m_popup != nullptr ? m_popup->GetBluetoothHandle() : nullptr;
    if (handle != nullptr) {
        handle->StopFindDevice();
    } else {
        _Log(LOG_WARNING, "SBluetoothDevicesPanel::OnStop", __LINE__, "no link to stop");
    }
}

void SBluetoothDevicesPanel::ListViewItemSelected(STTableView*, int, const SItem& item) {
    // The first choice wins; the dialog may still be zooming out when a second one arrives.
    if (m_chosen.has_value() || (m_popup != nullptr && m_popup->IsClosing() != 0)) {
        return;
    }
    m_chosen = item;
    CloseDialog();
}

void SBluetoothDevicesPanel::CloseDialog() {
    if (m_popup != nullptr) {
        m_popup->CloseDialog(1);
    }
}

void SBluetoothDevicesPanel::OnPaint(SDC& dc) {
    dc.FillRect(GetRect(kRectOwnLogical, 0), SPalette::kSurface);
}
