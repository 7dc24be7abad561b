#pragma once

#include <memory>

#include "ui/SImage.h"
#include "ui/SWindowBase.h"

// Shows one picture: at its natural size in the top-left corner, stretched over the widget, or
// cut to a circle.
class GalleryImage : public SWindowBase {
public:
    enum class Mode { Natural, Stretch, Circle };

    GalleryImage(std::unique_ptr<SImage> image, Mode mode);
    const char* GetClassName() const override { return "GalleryImage"; }
    void OnPaint(SDC& dc) override;
    bool HasImage() const { return m_image != nullptr; }

private:
    std::unique_ptr<SImage> m_image;
    Mode m_mode;
};
