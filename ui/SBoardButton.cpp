#include "ui/SBoardButton.h"

#include "ui/SImage.h"

SBoardButton::SBoardButton() = default;
SBoardButton::~SBoardButton() = default;

void SBoardButton::SetImages(const std::string& normal, const std::string& hover,
                             const std::string& pressed, const std::string& disabled) {
    const std::string* paths[] = {&normal, &hover, &pressed, &disabled};
    for (std::size_t i = 0; i < m_images.size(); ++i) {
        m_images[i] = paths[i]->empty() ? nullptr : LoadImage(*paths[i]);
    }
    Invalidate();
}

void SBoardButton::SetStateImage(int state, std::unique_ptr<SImage> image) {
    if (state >= 0 && state < static_cast<int>(m_images.size())) {
        m_images[static_cast<std::size_t>(state)] = std::move(image);
        Invalidate();
    }
}

const SImage* SBoardButton::GetImageFor(int state) const {
    if (state >= 0 && state < static_cast<int>(m_images.size()) &&
        m_images[static_cast<std::size_t>(state)]) {
        return m_images[static_cast<std::size_t>(state)].get();
    }
    return m_images[kStateNormal].get();
}

void SBoardButton::SizeToImage() {
    if (const SImage* image = m_images[kStateNormal].get()) {
        SetSize(SSize(image->GetWidth(), image->GetHeight()));
    }
}

int SBoardButton::GetPaintState() {
    const int state = GetVisualState();
    if (m_checked != 0 && (state == kStateNormal || state == kStateHover)) {
        return kStatePressed;
    }
    return state;
}
