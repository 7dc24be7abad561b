#pragma once

#include <array>
#include <memory>

#include "ui/SLoadingAnimationControl.h"
#include "ui/SWindowBase.h"

class SImage;

// A three-slice bar: the background slices (left cap, stretched middle, right cap) across the
// whole width and over them the bar slices across the filled fraction. Caps keep their aspect
// at the widget's height. Styles:
//   0  common background, red bar            1  home white (for coloured backgrounds)
//   2  common background, common bar (default)
//   3  home background, home bar
//   4, 5, 6  as 2, 3 and 1, plus an embedded interval loading animation ("Loading Progress
//      Bar") that plays over the bar while its value is still at the minimum
class SCommonProgressBar : public SWindowBase {
public:
    SCommonProgressBar();
    ~SCommonProgressBar() override;
    const char* GetClassName() const override { return "SCommonProgressBar"; }

    // Only before Create (the embedded animation is made with the bar).
    void SetStyle(int style);
    int GetStyle() const { return m_style; }
    void SetRange(int minimum, int maximum);
    int GetMinimum() const { return m_minimum; }
    int GetMaximum() const { return m_maximum; }
    // Clamped to the range.
    void SetPos(int value);
    int GetPos() const { return m_value; }
    // The filled fraction, 0 to 1.
    double GetFraction() const;
    SLoadingAnimationControl* GetLoadingControl() const { return m_loading.get(); }

    void OnCreate() override;
    void OnDestroy() override;
    void OnPaint(SDC& dc) override;

private:
    enum Slice { kLeft = 0, kMiddle = 1, kRight = 2 };
    void LoadSlices();
    void UpdateLoadingVisibility();
    // The set of `style` without its loading animation.
    int BaseStyle() const;

    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
    int m_style = 2;
    std::array<std::unique_ptr<SImage>, 3> m_background;
    std::array<std::unique_ptr<SImage>, 3> m_bar;
    std::unique_ptr<SLoadingAnimationControl> m_loading;
};
