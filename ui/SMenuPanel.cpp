#include "ui/SMenuPanel.h"

#include <string>

#include "ui/SImage.h"

SMenuPanel::SMenuPanel() = default;
SMenuPanel::~SMenuPanel() = default;

void SMenuPanel::LoadDropDownSlices() {
    const char* names[] = {"left_top",     "top_middle",  "right_top",     "left_middle",
                           "right_middle", "left_bottom", "bottom_middle", "right_bottom"};
    Slices slices;
    for (std::size_t i = 0; i < slices.size(); ++i) {
        slices[i] = LoadImage(std::string("\\res\\dropdown\\dorp_down_") + names[i] + ".png");
    }
    SetSlices(std::move(slices));
}
