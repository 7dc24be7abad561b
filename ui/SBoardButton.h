#pragma once

#include <array>
#include <memory>
#include <string>

#include "ui/SButton.h"

class SImage;

// The common base of the image and text buttons: one picture per visual state (normal, hover,
// pressed, disabled). A state without a picture of its own uses the normal one; a checked
// toggle shows its pressed picture. Missing files leave the slot empty (the load is logged).
class SBoardButton : public SButton {
public:
    SBoardButton();
    ~SBoardButton() override;

    // Loads the pictures from resource paths ("\\res\\..."); an empty path leaves the slot empty.
    void SetImages(const std::string& normal, const std::string& hover = "",
                   const std::string& pressed = "", const std::string& disabled = "");
    void SetStateImage(int state, std::unique_ptr<SImage> image);
    // The picture to paint for a visual state, after the fallbacks; may be null.
    const SImage* GetImageFor(int state) const;
    // Sizes the button to its normal picture's display size.
    void SizeToImage();

protected:
    // The visual state with a checked toggle shown as pressed.
    int GetPaintState();

    std::array<std::unique_ptr<SImage>, 4> m_images;
};
