#include "ui/STTableView.h"

#include <algorithm>
#include <cmath>

#include "platform/window/Keys.h"
#include "ui/ITListViewDelegate.h"
#include "ui/SDC.h"
#include "ui/SItemList.h"
#include "ui/SMouseEventArgs.h"
#include "ui/SPalette.h"
#include "ui/STTextCell.h"
#include "ui/SWindowAgent.h"
#include "ui/TextFlags.h"

STTableView::STTableView() {
    m_focusable = 1;
}

STTableView::~STTableView() = default;

void STTableView::AddColumn(const std::string& valueKey, double width, const std::string& header) {
    m_columns.push_back(Column{valueKey, width, header});
    UpdateContentSize();
    Invalidate();
}

void STTableView::SetRowHeight(double height) {
    if (height <= 0 || height == m_rowHeight) {
        return;
    }
    m_rowHeight = height;
    UpdateContentSize();
    Invalidate();
}

void STTableView::SetHeaderHeight(double height) {
    m_headerHeight = std::max(0.0, height);
    UpdateContentSize();
    Invalidate();
}

void STTableView::SetSpacing(double spacing) {
    m_spacing = std::max(0.0, spacing);
    UpdateContentSize();
    Invalidate();
}

void STTableView::SetBorderColor(uint32_t colour) {
    m_borderColour = colour;
    // The frame is drawn inside the view; the rows and bars stay clear of it.
    const double inset = SColor(colour).IsInvisible() ? 0 : 1;
    SetPadding(SMargin(inset, inset, inset, inset));
    Invalidate();
}

void STTableView::SetItems(std::vector<SItem> items, const std::string& matchKey) {
    int selected = -1;
    if (const SItem* previous = GetSelectedItem();
        previous != nullptr && !matchKey.empty() && previous->HasValue(matchKey)) {
        const std::string key = previous->GetValue(matchKey);
        for (std::size_t row = 0; row < items.size(); ++row) {
            if (items[row].HasValue(matchKey) && items[row].GetValue(matchKey) == key) {
                selected = static_cast<int>(row);
                break;
            }
        }
    }
    m_items = std::move(items);
    m_selectedRow = selected;
    // A press in progress belongs to a row that may now hold another item.
    m_pressedRow = -1;
    m_hoveredRow = -1;
    UpdateContentSize();
    Invalidate();
}

void STTableView::SetItemList(const SItemList& list, const std::string& matchKey) {
    SetItems(list.Snapshot(), matchKey);
}

const SItem* STTableView::GetItem(int row) const {
    if (row < 0 || row >= GetItemCount()) {
        return nullptr;
    }
    return &m_items[static_cast<std::size_t>(row)];
}

void STTableView::SetSelectedRow(int row) {
    const int value = (row >= 0 && row < GetItemCount()) ? row : -1;
    if (value == m_selectedRow) {
        return;
    }
    m_selectedRow = value;
    Invalidate();
}

SRect STTableView::RowArea() {
    const SRect client = GetClientRect(kRectOwnLogical);
    return SRect(client.left, client.top + m_headerHeight, client.right, client.bottom);
}

SRect STTableView::RowRect(int row) {
    const SRect area = RowArea();
    const double top = area.top + row * RowPitch() - m_scrollOffset.y;
    return SRect(area.left, top, area.right, top + m_rowHeight);
}

int STTableView::RowAt(const SPoint& local) {
    const SRect area = RowArea();
    if (!area.Contains(local) || local.y >= area.bottom) {
        return -1;
    }
    const double offset = local.y - area.top + m_scrollOffset.y;
    const int row = static_cast<int>(std::floor(offset / RowPitch()));
    if (row < 0 || row >= GetItemCount()) {
        return -1;
    }
    // The gap below a row belongs to no row.
    return offset - row * RowPitch() < m_rowHeight ? row : -1;
}

SRange STTableView::GetVisibleRange() {
    const SRect area = RowArea();
    if (GetItemCount() == 0 || area.Height() <= 0) {
        return SRange(0, 0);
    }
    const int first = static_cast<int>(std::floor(m_scrollOffset.y / RowPitch()));
    const int last = static_cast<int>(std::ceil((m_scrollOffset.y + area.Height()) / RowPitch()));
    return SRange(std::clamp(first, 0, GetItemCount()), std::clamp(last, 0, GetItemCount()));
}

void STTableView::EnsureVisible(int row) {
    if (row < 0 || row >= GetItemCount()) {
        return;
    }
    const double height = RowArea().Height();
    const double top = row * RowPitch();
    if (top < m_scrollOffset.y) {
        ScrollTo(-1, top);
    } else if (top + m_rowHeight > m_scrollOffset.y + height) {
        ScrollTo(-1, top + m_rowHeight - height);
    }
}

std::unique_ptr<STTableCell> STTableView::CreateCell() {
    return std::make_unique<STTextCell>();
}

void STTableView::UpdateContentSize() {
    double width = 0;
    for (const Column& column : m_columns) {
        width += column.width;
    }
    const int rows = GetItemCount();
    const double height = m_headerHeight + (rows > 0 ? rows * RowPitch() - m_spacing : 0);
    SetContentSize(SSize(width, height));
    if (m_created != 0) {
        // Rows that went away may leave the view scrolled past its new end.
        ScrollTo(-1, m_scrollOffset.y);
    }
}

void STTableView::OnCreate() {
    SView::OnCreate();
    m_cell = CreateCell();
    UpdateContentSize();
}

void STTableView::SetHoveredRow(int row) {
    if (row == m_hoveredRow) {
        return;
    }
    m_hoveredRow = row;
    Invalidate();
    if (m_delegate != nullptr) {
        m_delegate->ListViewHoverChanged(this, row);
    }
}

int STTableView::OnMouseMove(const SMouseEventArgs& event) {
    SetHoveredRow(RowAt(event.point));
    return 1;
}

void STTableView::OnMouseLeave() {
    SetHoveredRow(-1);
}

int STTableView::OnLButtonDown(const SMouseEventArgs& event) {
    m_pressedRow = RowAt(event.point);
    if (m_pressedRow >= 0) {
        SetCapture();
        Invalidate();
    }
    return 1;
}

int STTableView::KeyDown(int key, uint32_t flags) {
    namespace keys = platform::window::keys;
    const int count = GetItemCount();
    const int page = std::max(1, static_cast<int>(RowArea().Height() / RowPitch()));
    int target = -2;  // no move
    switch (key) {
        case keys::kDown:
            target = m_selectedRow < 0 ? 0 : m_selectedRow + 1;
            break;
        case keys::kUp:
            target = m_selectedRow < 0 ? count - 1 : m_selectedRow - 1;
            break;
        case keys::kPageDown:
            target = std::max(m_selectedRow, 0) + page;
            break;
        case keys::kPageUp:
            target = m_selectedRow - page;
            break;
        case keys::kHome:
            target = 0;
            break;
        case keys::kEnd:
            target = count - 1;
            break;
        case keys::kReturn:
        case keys::kSpace:
            if ((flags & 1) == 0 && m_selectedRow >= 0 && m_selectedRow < count) {
                ChooseRow(m_selectedRow);
                return 1;
            }
            return SView::KeyDown(key, flags);
        default:
            return SView::KeyDown(key, flags);
    }
    if (count > 0) {
        const int row = std::clamp(target, 0, count - 1);
        SetSelectedRow(row);
        EnsureVisible(row);
        if (SWindowAgent* agent = GetAgent()) {
            agent->ShowFocusRing(true);
        }
    }
    return 1;
}

void STTableView::ChooseRow(int row) {
    m_selectedRow = row;
    Invalidate();
    if (m_delegate != nullptr) {
        // The delegate may refill or close the table; it gets its own copy of the item.
        const SItem item = m_items[static_cast<std::size_t>(row)];
        m_delegate->ListViewItemSelected(this, row, item);
    }
}

int STTableView::OnLButtonUp(const SMouseEventArgs& event) {
    const int pressed = m_pressedRow;
    m_pressedRow = -1;
    if (HasCapture() != 0) {
        ReleaseCapture();
    }
    if (pressed < 0) {
        return 1;
    }
    Invalidate();
    // A release on another row, or outside, chooses nothing.
    if (RowAt(event.point) != pressed) {
        return 1;
    }
    ChooseRow(pressed);
    return 1;
}

void STTableView::OnScroll(int orientation, double position) {
    SView::OnScroll(orientation, position);
    // The row under a still pointer changes when the rows move.
    m_hoveredRow = -1;
}

void STTableView::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.FillRect(own, SPalette::kSurface);
    const SRect client = GetClientRect(kRectOwnLogical);
    if (m_headerHeight > 0) {
        DrawHeader(dc, SRect(client.left, client.top, client.right, client.top + m_headerHeight));
    }
    const SRect area = RowArea();
    if (GetItemCount() == 0 && !m_emptyText.empty()) {
        DrawEmptyText(dc, area);
    }
    if (m_cell != nullptr && !area.IsEmpty()) {
        dc.Clip(area);
        const SRange range = GetVisibleRange();
        for (int row = static_cast<int>(range.start); row < static_cast<int>(range.end); ++row) {
            DrawRow(dc, row, RowRect(row));
        }
        dc.ResetClip();
    }
    if (!SColor(m_borderColour).IsInvisible()) {
        dc.DrawRoundRect(SRect(own.left + 0.5, own.top + 0.5, own.right - 0.5, own.bottom - 0.5),
                         m_borderColour, 1, 0);
    }
}

void STTableView::SetEmptyText(const std::string& text) {
    if (text == m_emptyText) {
        return;
    }
    m_emptyText = text;
    Invalidate();
}

void STTableView::DrawEmptyText(SDC& dc, const SRect& area) {
    constexpr double kMargin = 16;
    constexpr unsigned kFormat = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    const double width = area.Width() - 2 * kMargin;
    if (width <= 0) {
        return;
    }
    const double height = SDC::MeasureText(m_emptyText, kEmptyTextFont, kFormat, width).height;
    const double top = area.top + std::max(0.0, (area.Height() - height) / 2);
    dc.DrawText(m_emptyText, SRect(area.left + kMargin, top, area.right - kMargin, area.bottom),
                kFormat, kEmptyTextFont, SPalette::kTextSecondary);
}

void STTableView::DrawHeader(SDC& dc, const SRect& area) {
    dc.FillRect(area, kHeaderBackground);
    double left = area.left;
    for (const Column& column : m_columns) {
        const SRect box(left + STTextCell::kInset, area.top, left + column.width, area.bottom);
        dc.DrawText(column.header, box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, 113,
                    SPalette::kTextSecondary);
        left += column.width;
    }
    dc.DrawLine(SPoint(area.left, area.bottom - 0.5), SPoint(area.right, area.bottom - 0.5), 1,
                SPalette::kLine);
}

void STTableView::DrawRow(SDC& dc, int row, const SRect& rect) {
    int state = STTableCell::kNormal;
    uint32_t wash = SColor::kTransparent;
    if (row == m_pressedRow && m_hoveredRow == row) {
        state = STTableCell::kPressed;
        wash = kRowPressed;
    } else if (row == m_selectedRow) {
        state = STTableCell::kSelected;
        wash = kRowSelected;
    } else if (row == m_hoveredRow) {
        state = STTableCell::kHovered;
        wash = kRowHover;
    }
    if (!SColor(wash).IsInvisible()) {
        dc.FillRect(rect, wash);
    }
    if (row + 1 < GetItemCount()) {
        dc.DrawLine(SPoint(rect.left + STTextCell::kInset, rect.bottom - 0.5),
                    SPoint(rect.right - STTextCell::kInset, rect.bottom - 0.5), 1, kRowLine);
    }
    const SItem& item = m_items[static_cast<std::size_t>(row)];
    double left = rect.left;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const Column& column = m_columns[i];
        const bool last = i + 1 == m_columns.size();
        const double right = last ? std::max(rect.right, left + column.width) : left + column.width;
        m_cell->Draw(dc, SRect(left, rect.top, right, rect.bottom), item.GetValue(column.valueKey),
                     state);
        left += column.width;
    }
}
