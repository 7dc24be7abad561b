#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/SColor.h"
#include "ui/SItem.h"
#include "ui/SRange.h"
#include "ui/STTableCell.h"
#include "ui/SView.h"

class ITListViewDelegate;
class SItemList;

// A scrolling table of items: one row per SItem, one column per value key. Rows are drawn by
// the view itself through its cell type (CreateCell), so a long list costs no widgets; only
// the rows inside the visible range are drawn.
//
// The user chooses a row by pressing and releasing the left button on it, or by moving the
// selection with the arrow keys and pressing Return; the view then marks it selected and tells
// its delegate. The last column takes whatever width the row has left, so text is cut only
// where the row really ends. Refilling the view (SetItems) keeps the selected row on
// the item whose match-key value equals the selected one's, wherever it moved, and drops the
// selection when that item is gone. UI thread only.
class STTableView : public SView {
public:
    struct Column {
        std::string valueKey;  // the item value shown in the column
        double width = 0;
        std::string header;
    };

    static constexpr uint32_t kRowHover = 0x00F7F2EEu;     // RGB EEF2F7
    static constexpr uint32_t kRowPressed = 0x00EEE4DCu;   // RGB DCE4EE
    static constexpr uint32_t kRowSelected = 0x00E8F2FDu;  // RGB FDF2E8, the accent's wash
    static constexpr uint32_t kRowLine = 0x00F0F0F0u;
    static constexpr uint32_t kHeaderBackground = 0x00F7F7F7u;
    static constexpr int kEmptyTextFont = 114;  // 13 px regular

    STTableView();
    ~STTableView() override;
    const char* GetClassName() const override { return "STTableView"; }

    // ---- columns and metrics
    void AddColumn(const std::string& valueKey, double width, const std::string& header);
    const std::vector<Column>& GetColumns() const { return m_columns; }
    void SetRowHeight(double height);
    double GetRowHeight() const { return m_rowHeight; }
    // 0 hides the header row.
    void SetHeaderHeight(double height);
    double GetHeaderHeight() const { return m_headerHeight; }
    // Space between rows.
    void SetSpacing(double spacing);
    // The one-unit frame around the table; transparent draws none.
    void SetBorderColor(uint32_t colour);
    uint32_t GetBorderColor() const { return m_borderColour; }
    void SetDelegate(ITListViewDelegate* delegate) { m_delegate = delegate; }
    // Shown centred in the row area while the table has no rows (e.g. "Searching…"); empty
    // shows nothing.
    void SetEmptyText(const std::string& text);
    const std::string& GetEmptyText() const { return m_emptyText; }

    // ---- content
    // Replaces the rows. The selection follows the item whose `matchKey` value equals the
    // selected item's; an empty matchKey drops the selection.
    void SetItems(std::vector<SItem> items, const std::string& matchKey);
    // SetItems from a copy of the list, taken under its lock.
    void SetItemList(const SItemList& list, const std::string& matchKey);
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    // Null when the row does not exist.
    const SItem* GetItem(int row) const;
    int GetSelectedRow() const { return m_selectedRow; }
    const SItem* GetSelectedItem() const { return GetItem(m_selectedRow); }
    // Selects a row (-1: none) without telling the delegate.
    void SetSelectedRow(int row);
    int GetHoveredRow() const { return m_hoveredRow; }

    // ---- geometry
    // The row under a point in the view's local units, -1 for none (header, gaps, below).
    int RowAt(const SPoint& local);
    // A row's rectangle in the view's local units (scrolled).
    SRect RowRect(int row);
    // The rows at least partly visible now: start is the first, end one past the last.
    SRange GetVisibleRange();
    // Scrolls the least needed to show a row whole.
    void EnsureVisible(int row);

    // ---- hooks
    // The cell type that draws the rows; the default is the toolkit's text cell.
    virtual std::unique_ptr<STTableCell> CreateCell();

    void OnCreate() override;
    void OnPaint(SDC& dc) override;
    int OnMouseMove(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;
    int OnLButtonDown(const SMouseEventArgs& event) override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    void OnScroll(int orientation, double position) override;
    // Up, Down, Page Up, Page Down, Home and End move the selected row (the delegate is not
    // told); Return and Space choose it, as a click on it does.
    int KeyDown(int key, uint32_t flags) override;

private:
    void UpdateContentSize();
    double RowPitch() const { return m_rowHeight + m_spacing; }
    SRect RowArea();
    void SetHoveredRow(int row);
    void ChooseRow(int row);
    void DrawEmptyText(SDC& dc, const SRect& area);
    void DrawHeader(SDC& dc, const SRect& area);
    void DrawRow(SDC& dc, int row, const SRect& rect);

    std::vector<Column> m_columns;
    std::vector<SItem> m_items;
    std::unique_ptr<STTableCell> m_cell;
    ITListViewDelegate* m_delegate = nullptr;
    double m_rowHeight = 30;
    double m_headerHeight = 0;
    double m_spacing = 0;
    uint32_t m_borderColour = SColor::kTransparent;
    int m_selectedRow = -1;
    int m_hoveredRow = -1;
    int m_pressedRow = -1;
    std::string m_emptyText;
};
