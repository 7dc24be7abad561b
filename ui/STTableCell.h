#pragma once

#include <string>

#include "ui/SRect.h"

class SDC;

// How a table view draws one cell. The view owns one cell object per table and hands it each
// visible cell in turn; a cell keeps no per-row state.
class STTableCell {
public:
    // Visual state of the row a cell belongs to.
    enum State : int { kNormal = 0, kHovered = 1, kPressed = 2, kSelected = 3 };

    virtual ~STTableCell() = default;
    // Draws `text` into `rect` (the cell's rectangle in the view's local units).
    virtual void Draw(SDC& dc, const SRect& rect, const std::string& text, int state) = 0;
};
