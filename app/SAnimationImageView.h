#pragma once

#include "ui/SSlideView.h"

class SImage;

// One picture on white that fades in and out as a slide view. Two of them stacked in one place
// make a cross-fading pair: showing one and hiding the other swaps them.
class SAnimationImageView : public SSlideView {
public:
    const char* GetClassName() const override { return "SAnimationImageView"; }

    // The picture is not owned; it must outlive the view.
    void SetImage(const SImage* image);
    const SImage* GetImage() const { return m_image; }

    void OnPaint(SDC& dc) override;

private:
    const SImage* m_image = nullptr;
};
