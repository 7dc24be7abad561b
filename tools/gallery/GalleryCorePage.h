#pragma once

#include "tools/gallery/GalleryPage.h"

class GalleryFrame;
class GalleryLabel;

// The toolkit core: text in several flag combinations and scripts, images, input (focus,
// buttons, a modal dialog, mirroring) and a scrolling list.
class GalleryCorePage : public GalleryPage {
public:
    explicit GalleryCorePage(GalleryFrame* frame) : m_frame(frame) {}
    void Build() override;
    void SetCoreStatus(const std::string& text);

private:
    void BuildTextPanel();
    void BuildImagePanel();
    void BuildInputPanel();
    void BuildList();
    void ToggleMirroring();
    void OpenDialog();

    GalleryFrame* m_frame;
    GalleryLabel* m_status = nullptr;
    int m_clicks = 0;
};
