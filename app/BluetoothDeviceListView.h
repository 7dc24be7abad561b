#pragma once

#include <memory>

#include "ui/STTableView.h"

// The device list of the device-list dialog: a table view whose rows are drawn with the
// toolkit's text cell.
class BluetoothDeviceListView : public STTableView {
public:
    const char* GetClassName() const override { return "BluetoothDeviceListView"; }
    std::unique_ptr<STTableCell> CreateCell() override;
};
