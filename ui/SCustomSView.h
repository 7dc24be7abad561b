#pragma once

#include "ui/SView.h"

// The view scrolling screens use: its content grows with its scrolled children. The content
// width is the client width; the content height reaches the lowest bottom edge of the
// top-anchored scrolled children plus the bottom padding.
class SCustomSView : public SView {
public:
    const char* GetClassName() const override { return "SCustomSView"; }
    int ArrangeChildren() override;
    // Recomputes the content size from the children now.
    void UpdateContentSize();
};
