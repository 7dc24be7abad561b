#include "ui/SMainPanel.h"

#include <algorithm>
#include <string>
#include <utility>

#include "ui/SDC.h"
#include "ui/SImage.h"

SMainPanel::SMainPanel() {
    m_background = 0x00FFFFFFu;
}

SMainPanel::~SMainPanel() = default;

void SMainPanel::LoadPopupSlices() {
    const char* names[] = {"left_top",     "middle_top",  "right_top",     "left_middle",
                           "right_middle", "left_bottom", "middle_bottom", "right_bottom"};
    Slices slices;
    for (std::size_t i = 0; i < slices.size(); ++i) {
        slices[i] =
            LoadImage(std::string("\\res\\Window\\Popup\\pop_up_window_") + names[i] + ".png");
    }
    SetSlices(std::move(slices));
}

void SMainPanel::SetSlices(Slices slices) {
    m_slices = std::move(slices);
    Invalidate();
}

std::array<const SImage*, 8> SMainPanel::Pointers(const Slices& slices) {
    std::array<const SImage*, 8> pointers{};
    for (std::size_t i = 0; i < slices.size(); ++i) {
        pointers[i] = slices[i].get();
    }
    return pointers;
}

void SMainPanel::DrawSlices(SDC& dc, const std::array<const SImage*, 8>& drawn, const SRect& box,
                            uint32_t fill) {
    // A mirrored context puts local left on the physical right, but pictures are not turned
    // over: the left corners and edge go where they then land on the physical left.
    std::array<const SImage*, 8> slices = drawn;
    if (dc.mirrored != 0) {
        std::swap(slices[0], slices[2]);
        std::swap(slices[3], slices[4]);
        std::swap(slices[5], slices[7]);
    }
    auto width = [&](std::size_t i) { return slices[i] ? slices[i]->GetWidth() : 0.0; };
    auto height = [&](std::size_t i) { return slices[i] ? slices[i]->GetHeight() : 0.0; };
    const double left = std::max(width(0), width(5));
    const double right = std::max(width(2), width(7));
    const double top = std::max(height(0), height(2));
    const double bottom = std::max(height(5), height(7));
    const SRect middle(box.left + left, box.top + top, box.right - right, box.bottom - bottom);
    if (!middle.IsEmpty()) {
        dc.FillRect(middle, fill);
    }
    const SRect places[8] = {
        SRect(box.left, box.top, box.left + left, box.top + top),
        SRect(box.left + left, box.top, box.right - right, box.top + top),
        SRect(box.right - right, box.top, box.right, box.top + top),
        SRect(box.left, box.top + top, box.left + left, box.bottom - bottom),
        SRect(box.right - right, box.top + top, box.right, box.bottom - bottom),
        SRect(box.left, box.bottom - bottom, box.left + left, box.bottom),
        SRect(box.left + left, box.bottom - bottom, box.right - right, box.bottom),
        SRect(box.right - right, box.bottom - bottom, box.right, box.bottom),
    };
    for (std::size_t i = 0; i < slices.size(); ++i) {
        if (slices[i] && !places[i].IsEmpty()) {
            dc.DrawImage(slices[i], places[i]);
        }
    }
}

void SMainPanel::DrawBackground(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (!m_slices[0]) {
        dc.FillRect(own, m_background);
        return;
    }
    DrawSlices(dc, Pointers(m_slices), own, m_background);
}
