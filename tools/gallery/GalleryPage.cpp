#include "tools/gallery/GalleryPage.h"

GalleryPage::~GalleryPage() {
    // Children are destroyed newest first so none is left pointing at a freed parent.
    for (auto it = m_widgets.rbegin(); it != m_widgets.rend(); ++it) {
        it->reset();
    }
}

SPanel* GalleryPage::Section(const std::string& title, const SMargin& margin, const SSize& size) {
    auto* panel = Add(std::make_unique<SPanel>());
    panel->Create(title, this, margin, size);
    panel->SetBackgroundColor(kSectionColour);
    panel->SetBorder(kSectionBorder, 1);
    panel->SetCornerRadius(8);
    Label(panel, title, SMargin(12, 6, 12, -1), SSize(0, 22), 117, 0x00202020u);
    return panel;
}

SLabel* GalleryPage::Label(SWindowBase* parent, const std::string& text, const SMargin& margin,
                           const SSize& size, int font, uint32_t colour, unsigned format) {
    auto* label = Add(std::make_unique<SLabel>(text));
    label->SetFont(font);
    label->SetTextColor(colour);
    label->SetFormat(format);
    label->Create(text.substr(0, 24), parent, margin, size);
    return label;
}

void GalleryPage::AddStatusLine() {
    m_status = Label(this, "", SMargin(16, -1, 16, 4), SSize(0, 20), 112, 0x00505050u);
}

void GalleryPage::SetStatus(const std::string& text) {
    if (m_status != nullptr) {
        m_status->SetText(text);
    }
}
