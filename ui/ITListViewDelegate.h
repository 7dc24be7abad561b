#pragma once

class SItem;
class STTableView;

// What a table view tells its owner. Every operation has an empty default.
class ITListViewDelegate {
public:
    virtual ~ITListViewDelegate() = default;
    // The user chose a row (pressed and released the button on it). `item` is the row's copy,
    // valid until the table's items change.
    virtual void ListViewItemSelected(STTableView* view, int row, const SItem& item) {
        (void)view;
        (void)row;
        (void)item;
    }
    // The row under the pointer changed (-1: none).
    virtual void ListViewHoverChanged(STTableView* view, int row) {
        (void)view;
        (void)row;
    }
};
