#pragma once

#include "ui/SWindowBase.h"

class SImage;

// Shows one picture that its owner sets and keeps owning: at the widget's top-left corner at
// its natural size (or centred with the centred flag), or stretched over the widget with the
// stretch flag. Nothing while no picture is set.
class SStaticImage : public SWindowBase {
public:
    const char* GetClassName() const override { return "SStaticImage"; }

    void SetImage(const SImage* image);
    const SImage* GetImage() const { return m_image; }
    void SetStretch(int stretch);
    int GetStretch() const { return m_stretch; }
    // Draws the picture centred in the widget instead of at its top-left corner (at its
    // natural size; ignored while stretching).
    void SetCentered(int centered);
    int GetCentered() const { return m_centered; }
    // Sizes the widget to the picture's display size (pixels divided by its factor).
    void SizeToImage();

    void OnPaint(SDC& dc) override;

private:
    const SImage* m_image = nullptr;
    int m_stretch = 0;
    int m_centered = 0;
};
