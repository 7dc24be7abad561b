#pragma once

#include "ui/SPanel.h"

class ITitleBarDelegate;

// A frame's own title bar for windows without a system caption: pressing anywhere on the bar
// outside its buttons drags the window (the caption area of the hit test), and a double click
// there goes to the title-bar delegate.
class STitleBar : public SPanel {
public:
    static constexpr double kDefaultHeight = 32;

    const char* GetClassName() const override { return "STitleBar"; }

    void SetTitleBarDelegate(ITitleBarDelegate* delegate) { m_titleBarDelegate = delegate; }
    ITitleBarDelegate* GetTitleBarDelegate() const { return m_titleBarDelegate; }
    // The bar's height in logical units; the frame lays its content out below it.
    double GetTitleBarHeight() const { return m_height; }
    void SetTitleBarHeight(double height) { m_height = height; }

    int OnHitTestArea(const SMouseEventArgs& event) override;
    int OnLButtonDoubleClick(const SMouseEventArgs& event) override;

private:
    ITitleBarDelegate* m_titleBarDelegate = nullptr;
    double m_height = kDefaultHeight;
};
