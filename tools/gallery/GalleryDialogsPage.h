#pragma once

#include <memory>
#include <vector>

#include "tools/gallery/GalleryPage.h"
#include "ui/IButtonDelegate.h"

class SImage;
class SWindowFrame;

// Dialogs and tooltips: a message dialog of each button set (the result comes back to the
// status line), a popup with its own content, a waiting popup that a worker thread closes, the
// HTML dialog, and widgets with each kind of tooltip.
class GalleryDialogsPage : public GalleryPage, public IButtonDelegate {
public:
    GalleryDialogsPage();
    ~GalleryDialogsPage() override;
    void Build() override;
    void ButtonClicked(SButton* button) override;

    // The example popups, also rendered by the gallery's picture mode.
    static int ShowQuestionPopup(SWindowFrame* owner);
    static int ShowWaitingPopup(SWindowFrame* owner);
    static int ShowHtmlDialog(SWindowFrame* owner);
    static void ShowMessage(SWindowFrame* owner, int type, int* result);

private:
    void BuildMessages();
    void BuildPopups();
    void BuildToolTips();
    SWindowFrame* Owner();

    std::vector<std::unique_ptr<SImage>> m_images;
};
