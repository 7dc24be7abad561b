#include "app/BluetoothDeviceListView.h"

#include "ui/STTextCell.h"

std::unique_ptr<STTableCell> BluetoothDeviceListView::CreateCell() {
    return std::make_unique<STTextCell>();
}
