#pragma once

#include <string>

#include "ui/SButton.h"

// A page tab of the gallery: a radio button painted as a caption with an orange underline
// while it is the chosen one.
class GalleryTab : public SButton {
public:
    explicit GalleryTab(std::string caption);
    const char* GetClassName() const override { return "GalleryTab"; }
    void OnPaint(SDC& dc) override;

private:
    std::string m_caption;
};
