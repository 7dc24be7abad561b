#pragma once

#include "ui/SMainPanel.h"

// The drop-down menu's background: a white card with a soft shadow drawn from the eight
// "\\res\\dropdown\\dorp_down_*.png" slices. Items sit inside the card, kInset units in from the
// window's edges (the shadow lies outside it).
class SMenuPanel : public SMainPanel {
public:
    // Shadow (6) plus a little air around the items.
    static constexpr double kInsetSide = 8;
    static constexpr double kInsetTopBottom = 10;

    SMenuPanel();
    ~SMenuPanel() override;
    const char* GetClassName() const override { return "SMenuPanel"; }

    // The eight drop-down slices, in SMainPanel's order.
    void LoadDropDownSlices();
};
