#pragma once

#include <memory>

#include "tools/gallery/GalleryPage.h"
#include "ui/IButtonDelegate.h"
#include "ui/SSlideView.h"

class SImage;

// Animation: the four loading sequences playing (and still frames of each), a slide view that
// fades or slides in and out, and the twenty easing curves.
class GalleryAnimationPage : public GalleryPage, public IButtonDelegate {
public:
    GalleryAnimationPage();
    ~GalleryAnimationPage() override;
    void Build() override;
    void ButtonClicked(SButton* button) override;

private:
    void BuildLoading();
    void BuildSlideView();
    void BuildEasing();

    std::vector<std::unique_ptr<SImage>> m_images;
    SSlideView* m_fading = nullptr;
    SSlideView* m_sliding = nullptr;
};
