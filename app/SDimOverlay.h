#pragma once

#include "ui/SWindowBase.h"

// The main window's dimming while a dialog is open over it: the top-most widget of the tree,
// painting a dark veil over the whole window less its shadow border. Level 0 to 12 is the
// veil's alpha out of 255; at 0 the widget is hidden.
class SDimOverlay : public SWindowBase {
public:
    static constexpr uint32_t kColour = 0x323232;
    static constexpr double kBorder = 8;

    const char* GetClassName() const override { return "SDimOverlay"; }
    void SetLevel(int level);
    int GetLevel() const { return m_level; }
    void OnPaint(SDC& dc) override;

private:
    int m_level = 0;
};
