#pragma once

#include <cstdint>

#include "ui/SPalette.h"
#include "ui/STTableCell.h"

// The toolkit's default cell: one line of text, vertically centred, inset from the left edge
// and ending in "…" when it does not fit.
class STTextCell : public STTableCell {
public:
    static constexpr double kInset = 12;
    static constexpr int kFont = 114;  // 13 px regular
    static constexpr int kSelectedFont = 115;

    void Draw(SDC& dc, const SRect& rect, const std::string& text, int state) override;

    uint32_t textColour = SPalette::kText;
};
