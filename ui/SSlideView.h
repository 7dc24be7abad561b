#pragma once

#include <cstdint>

#include "ui/SWindowBase.h"

// A widget that fades itself in and out. Showing waits one duration first (a delayed show on
// a timer of its own), then fades in (animation 7010, cubic out); hiding fades out (animation
// 7020, cubic in) and clears the visible flag at the end. A hide while the show is still
// waiting hides at once. Without the fade and slide flags it shows and hides like any widget.
class SSlideView : public SWindowBase {
public:
    static constexpr int kFadeInKey = 7010;
    static constexpr int kFadeOutKey = 7020;
    static constexpr uint32_t kDefaultDuration = 150;

    SSlideView();
    const char* GetClassName() const override { return "SSlideView"; }

    void SetVisible(int visible) override;
    void OnTimer(uint32_t id) override;
    void OnAnimate(int key, double progress, double eased) override;
    void OnDestroy() override;

    void SetFade(int fade) { m_fade = fade; }
    void SetVerticalSlide(int slide) { m_verticalSlide = slide; }
    void SetDuration(uint32_t milliseconds) { m_duration = milliseconds; }
    uint32_t GetDuration() const { return m_duration; }
    uint32_t GetTimerId() const { return m_timerId; }
    int IsWaiting() const { return m_waiting; }
    int IsFadingIn() const { return m_fadingIn; }
    int IsFadingOut() const { return m_fadingOut; }

protected:
    void FadeIn();
    void FadeOut();
    int TransitionFlags() const;

    uint32_t m_timerId;
    int m_fade = 1;
    int m_verticalSlide = 0;
    int m_waiting = 0;
    int m_fadingIn = 0;
    int m_fadingOut = 0;
    uint32_t m_duration = kDefaultDuration;
};
