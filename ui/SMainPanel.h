#pragma once

#include <array>
#include <memory>

#include "ui/SPanel.h"

class SImage;

// A window's background drawn from eight slices: the corners at their natural size, the edges
// stretched between them, and the middle filled with the panel's colour (white by default).
// The slices carry the frame's shadow and border; without them the panel is a plain fill.
class SMainPanel : public SPanel {
public:
    // Slice order: left_top, middle_top, right_top, left_middle, right_middle, left_bottom,
    // middle_bottom, right_bottom.
    using Slices = std::array<std::unique_ptr<SImage>, 8>;

    SMainPanel();
    ~SMainPanel() override;
    const char* GetClassName() const override { return "SMainPanel"; }

    // The popup window slices of the toolkit.
    void LoadPopupSlices();
    void SetSlices(Slices slices);
    void DrawBackground(SDC& dc) override;

    // Draws eight slices around `box` (local units), the middle in `fill`; a null slice leaves
    // its place empty.
    static void DrawSlices(SDC& dc, const std::array<const SImage*, 8>& slices, const SRect& box,
                           uint32_t fill);
    static std::array<const SImage*, 8> Pointers(const Slices& slices);

private:
    Slices m_slices;
};
