#pragma once

#include <string>

#include "ui/SWindowBase.h"

// One row of the scrolling list: highlighted while hovered, counts its clicks.
class GalleryRow : public SWindowBase {
public:
    explicit GalleryRow(int index);
    const char* GetClassName() const override { return "GalleryRow"; }
    void OnPaint(SDC& dc) override;
    int OnMouseEnter(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    int GetClicks() const { return m_clicks; }

private:
    int m_index;
    int m_clicks = 0;
};
