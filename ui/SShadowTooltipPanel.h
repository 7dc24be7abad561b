#pragma once

#include <memory>

#include "ui/SMainPanel.h"
#include "ui/SToolTipPanel.h"

class SImage;

// A white bubble with a soft shadow and a tail pointing down at the pointer, drawn from nine
// slices (a 12-unit frame and the tail piece). The tail sits under the bubble's middle, left or
// right end, as the content's alignment says; an automatic content picks the alignment that
// keeps the bubble on the screen.
class SShadowTooltipPanel : public SToolTipPanel {
public:
    static constexpr double kFrame = 12;      // width of the frame slices
    static constexpr double kTailDrop = 10;   // how far the tail piece reaches below the frame
    static constexpr double kTailInset = 10;  // tail distance from a bubble end when aligned

    SShadowTooltipPanel();
    ~SShadowTooltipPanel() override;
    const char* GetClassName() const override { return "SShadowTooltipPanel"; }

    void SetContent(const SToolTipContent* content) override;
    platform::window::Rect ComputeRect(platform::window::Point cursor,
                                       platform::window::Rect monitor, double zoom) override;
    int GetAlignment() const { return m_alignment; }

    void OnPaint(SDC& dc) override;

private:
    // The tail's left edge for the alignment, in local units of a bubble `width` wide.
    double TailLeft(double width) const;

    SMainPanel::Slices m_slices;
    std::unique_ptr<SImage> m_tail;
    int m_alignment = 0;
    bool m_autoAlign = false;
};
