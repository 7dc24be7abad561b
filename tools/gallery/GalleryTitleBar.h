#pragma once

#include "ui/SPanel.h"

// The window's own title bar: pressing on it drags the window (the caption area of the hit
// test); its children (the close button) stay ordinary widgets.
class GalleryTitleBar : public SPanel {
public:
    const char* GetClassName() const override { return "GalleryTitleBar"; }
    int OnHitTestArea(const SMouseEventArgs&) override { return kHitCaption; }
};
