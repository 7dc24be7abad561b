#pragma once

#include <memory>
#include <string>

#include "ui/STextButton.h"

class SImage;

// A check box: a toggle with its box picture beside a caption (one line, vertically centred,
// "…" at the end: text flags 0x8024). The box shows the background picture while unchecked and
// the mark picture of the visual state (normal, over, pressed) while checked.
class SCheckButton : public STextButton {
public:
    static constexpr double kCaptionGap = 6;

    SCheckButton();
    ~SCheckButton() override;
    const char* GetClassName() const override { return "SCheckButton"; }

    void SetCheckImages(const std::string& markNormal, const std::string& markOver,
                        const std::string& markPressed, const std::string& background);
    // The toolkit's own check box pictures.
    void SetDefaultCheckImages();
    // Sizes the button to box, gap and caption.
    void SizeToContent();

    void OnPaint(SDC& dc) override;

private:
    std::unique_ptr<SImage> m_markNormal;
    std::unique_ptr<SImage> m_markOver;
    std::unique_ptr<SImage> m_markPressed;
    std::unique_ptr<SImage> m_box;
};
