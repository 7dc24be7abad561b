#include "ui/SSlideView.h"

#include "base/Log.h"
#include "ui/SDC.h"
#include "ui/SSlideTransition.h"

namespace {

// Timer ids of slide views are unique in the process and far above the small ids frames hand
// out automatically and the fixed ids screens choose.
uint32_t g_nextTimerId = 0x10000;  // UI thread only
constexpr int kEasingCubicOut = 5;
constexpr int kEasingCubicIn = 4;

}  // namespace

SSlideView::SSlideView() : m_timerId(g_nextTimerId++) {}

int SSlideView::TransitionFlags() const {
    int flags = 0;
    if (m_fade != 0) {
        flags |= SSlideTransition::kFade;
    }
    if (m_verticalSlide != 0) {
        flags |= SSlideTransition::kVertical;
    }
    return flags;
}

void SSlideView::SetVisible(int visible) {
    if (TransitionFlags() == 0) {
        SWindowBase::SetVisible(visible);
        return;
    }
    if (visible != 0) {
        if (m_waiting != 0) {
            _Log(LOG_INFO, "SSlideView::SetVisible", __LINE__,
                 "DON'T HANDLE: [%s], Waiting timer !!!!!!", GetClassName());
        } else if (GetVisible() == 0 || m_fadingOut != 0) {
            if (SetTimer(m_timerId, m_duration) != 0) {
                m_waiting = 1;
            } else {
                // Not in a frame yet: no timer would ever end the wait, so show plainly.
                SWindowBase::SetVisible(1);
            }
        } else {
            _Log(LOG_INFO, "SSlideView::SetVisible", __LINE__,
                 "DON'T HANDLE: [%s], visible[%d], GetVisible() [%d], _isFadingOut[%d], "
                 "_isFadingIn[%d]",
                 GetClassName(), m_visible, GetVisible(), m_fadingOut, m_fadingIn);
        }
        m_fadingOut = 0;
        return;
    }
    if (m_waiting != 0) {
        _Log(LOG_INFO, "SSlideView::SetVisible", __LINE__, "[%s] Force Hide ", GetClassName());
        KillTimer(m_timerId);
        m_waiting = 0;
        if (m_visible != 0) {
            SWindowBase::SetVisible(0);
        }
    } else if (m_fadingOut == 0 && m_visible != 0) {
        if (GetVisible() != 0) {
            FadeOut();
        } else {
            // Nobody would see the fade; a fade left pending here would hide the view later,
            // after it had been shown again.
            SWindowBase::SetVisible(0);
        }
    }
    m_fadingIn = 0;
}

void SSlideView::FadeOut() {
    m_fadingOut = 1;
    StopAnimation(kFadeOutKey);
    std::unique_ptr<SDC> snapshot = RenderSnapshot();
    const int flags = TransitionFlags();
    if (flags != 0) {
        auto transition = std::make_unique<SSlideTransition>(flags);
        transition->outgoing = std::move(snapshot);
        StartAnimation(kFadeOutKey, m_duration, 1, kEasingCubicIn, std::move(transition), 0);
    } else {
        StartAnimation(kFadeOutKey, m_duration, 1, kEasingCubicIn, nullptr, 1);
    }
    KillTimer(m_timerId);
    m_waiting = 0;
}

void SSlideView::OnTimer(uint32_t id) {
    if (id != m_timerId) {
        SWindowBase::OnTimer(id);
        return;
    }
    KillTimer(m_timerId);
    m_waiting = 0;
    FadeIn();
}

void SSlideView::FadeIn() {
    m_fadingIn = 1;
    SWindowBase::SetVisible(1);
    // A fade-out still running would clear the flag just set when it ends.
    StopAnimation(kFadeOutKey);
    m_fadingOut = 0;
    StopAnimation(kFadeInKey);
    std::unique_ptr<SDC> snapshot = RenderSnapshot();
    const int flags = TransitionFlags();
    if (flags != 0) {
        auto transition = std::make_unique<SSlideTransition>(flags);
        transition->incoming = std::move(snapshot);
        StartAnimation(kFadeInKey, m_duration, 1, kEasingCubicOut, std::move(transition), 0);
    } else {
        StartAnimation(kFadeInKey, m_duration, 1, kEasingCubicOut, nullptr, 1);
    }
}

void SSlideView::OnAnimate(int key, double progress, double) {
    if (key == kFadeInKey) {
        m_fadingIn = progress < 1 ? 1 : 0;
    } else if (key == kFadeOutKey) {
        m_fadingOut = progress < 1 ? 1 : 0;
        if (progress >= 1 && m_visible != 0) {
            SWindowBase::SetVisible(0);
        }
    }
}

void SSlideView::OnDestroy() {
    KillTimer(m_timerId);
    m_waiting = 0;
    SWindowBase::OnDestroy();
}
