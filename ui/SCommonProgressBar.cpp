#include "ui/SCommonProgressBar.h"

#include <algorithm>

#include "ui/SDC.h"
#include "ui/SImage.h"

namespace {

constexpr const char* kCommon = "\\res\\Common\\progress\\";
constexpr const char* kHome = "\\res\\Home\\_progress\\";

std::unique_ptr<SImage> Load(const char* folder, const char* name) {
    return LoadImage(std::string(folder) + name);
}

// Left cap, stretched middle and right cap over [left, right] of the widget's height.
void DrawThreeSlice(SDC& dc, const std::array<const SImage*, 3>& slices, double left, double right,
                    double height) {
    // In a mirrored context local left lands on the physical right; the caps, which are not
    // turned over, swap places so each keeps its rounded side outwards.
    const bool mirrored = dc.mirrored != 0;
    const SImage* leftCap = mirrored ? slices[2] : slices[0];
    const SImage* middle = slices[1];
    const SImage* rightCap = mirrored ? slices[0] : slices[2];
    auto capWidth = [height](const SImage* image) {
        return image != nullptr && image->GetHeight() > 0
                   ? image->GetWidth() * height / image->GetHeight()
                   : 0.0;
    };
    double leftWidth = capWidth(leftCap);
    double rightWidth = capWidth(rightCap);
    const double total = right - left;
    if (leftWidth + rightWidth > total) {
        // Too short for both caps: they share what there is.
        const double scale = total / (leftWidth + rightWidth);
        leftWidth *= scale;
        rightWidth *= scale;
    }
    for (const auto& [image, box] :
         {std::pair{leftCap, SRect(left, 0, left + leftWidth, height)},
          std::pair{middle, SRect(left + leftWidth, 0, right - rightWidth, height)},
          std::pair{rightCap, SRect(right - rightWidth, 0, right, height)}}) {
        if (image != nullptr && !box.IsEmpty()) {
            dc.DrawImage(image, box);
        }
    }
}

}  // namespace

SCommonProgressBar::SCommonProgressBar() = default;

SCommonProgressBar::~SCommonProgressBar() = default;

void SCommonProgressBar::SetStyle(int style) {
    m_style = style;
    LoadSlices();
    Invalidate();
}

int SCommonProgressBar::BaseStyle() const {
    switch (m_style) {
        case 4:
            return 2;
        case 5:
            return 3;
        case 6:
            return 1;
        default:
            return m_style;
    }
}

void SCommonProgressBar::LoadSlices() {
    switch (BaseStyle()) {
        case 1:
            // The white set has no right background cap: the left one serves, mirrored.
            m_background = {Load(kHome, "home_progress_left_bg_white.png"),
                            Load(kHome, "home_progress_middle_bg_white.png"), nullptr};
            if (m_background[kLeft]) {
                m_background[kRight] = m_background[kLeft]->Mirrored();
            }
            m_bar = {Load(kHome, "home_progress_left_bar_white.png"),
                     Load(kHome, "home_progress_middle_bar_white.png"),
                     Load(kHome, "home_progress_right_bar_white.png")};
            break;
        case 3:
            m_background = {Load(kHome, "home_progress_left_bg.png"),
                            Load(kHome, "home_progress_middle_bg.png"),
                            Load(kHome, "home_progress_right_bg.png")};
            m_bar = {Load(kHome, "home_progress_left_bar.png"),
                     Load(kHome, "home_progress_middle_bar.png"),
                     Load(kHome, "home_progress_right_bar.png")};
            break;
        case 0:
        case 2:
        default:
            m_background = {Load(kCommon, "progress_left_bg.png"),
                            Load(kCommon, "progress_middle_bg.png"),
                            Load(kCommon, "progress_right_bg.png")};
            if (BaseStyle() == 0) {
                m_bar = {Load(kCommon, "progress_left_bar_red.png"),
                         Load(kCommon, "progress_middle_bar_red.png"),
                         Load(kCommon, "progress_right_bar_red.png")};
            } else {
                m_bar = {Load(kCommon, "progress_left_bar.png"),
                         Load(kCommon, "progress_middle_bar.png"),
                         Load(kCommon, "progress_right_bar.png")};
            }
            break;
    }
}

void SCommonProgressBar::SetRange(int minimum, int maximum) {
    if (maximum < minimum) {
        std::swap(minimum, maximum);
    }
    m_minimum = minimum;
    m_maximum = maximum;
    m_value = std::clamp(m_value, m_minimum, m_maximum);
    UpdateLoadingVisibility();
    Invalidate();
}

void SCommonProgressBar::SetPos(int value) {
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value) {
        return;
    }
    m_value = value;
    UpdateLoadingVisibility();
    Invalidate();
}

double SCommonProgressBar::GetFraction() const {
    if (m_maximum <= m_minimum) {
        return 0;
    }
    return static_cast<double>(m_value - m_minimum) / (m_maximum - m_minimum);
}

void SCommonProgressBar::OnCreate() {
    if (!m_background[kMiddle] && !m_bar[kMiddle]) {
        LoadSlices();
    }
    if (m_style >= 4 && m_style <= 6 && !m_loading) {
        m_loading = std::make_unique<SLoadingAnimationControl>(3);
        m_loading->Create("Loading Progress Bar", this, SMargin(0, 0, 0, 0), SSize(), 0);
        UpdateLoadingVisibility();
    }
}

void SCommonProgressBar::OnDestroy() {
    if (m_loading) {
        m_loading->Destroy();
    }
    SWindowBase::OnDestroy();
}

void SCommonProgressBar::UpdateLoadingVisibility() {
    if (m_loading && m_loading->IsCreated() != 0) {
        m_loading->SetVisible(m_value <= m_minimum ? 1 : 0);
    }
}

void SCommonProgressBar::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (own.IsEmpty()) {
        return;
    }
    DrawThreeSlice(dc, {m_background[0].get(), m_background[1].get(), m_background[2].get()}, 0,
                   own.Width(), own.Height());
    const double fraction = GetFraction();
    if (fraction <= 0) {
        return;
    }
    const SImage* leftCap = m_bar[kLeft].get();
    const SImage* rightCap = m_bar[kRight].get();
    double caps = 0;
    for (const SImage* cap : {leftCap, rightCap}) {
        if (cap != nullptr && cap->GetHeight() > 0) {
            caps += cap->GetWidth() * own.Height() / cap->GetHeight();
        }
    }
    // A small value still shows a whole rounded bar rather than a sliver of one cap.
    const double width = std::min(own.Width(), std::max(own.Width() * fraction, caps));
    DrawThreeSlice(dc, {m_bar[0].get(), m_bar[1].get(), m_bar[2].get()}, 0, width, own.Height());
}
