#pragma once

#include <memory>

#include "tools/gallery/GalleryPage.h"
#include "ui/IButtonDelegate.h"
#include "ui/SButtonGroup.h"

// The standard widgets: the pill button in every caption style, check boxes and a radio group,
// title-bar image buttons, links, labels, every progress bar style and scroll bars.
class GalleryWidgetsPage : public GalleryPage, public IButtonDelegate {
public:
    void Build() override;
    void ButtonClicked(SButton* button) override;

private:
    void BuildButtons();
    void BuildToggles();
    void BuildLabels();
    void BuildProgress();
    void BuildScrolling();

    SButtonGroup m_group;
};
