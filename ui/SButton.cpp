#include "ui/SButton.h"

#include "platform/window/Keys.h"
#include "ui/IButtonDelegate.h"
#include "ui/SButtonGroup.h"
#include "ui/SWindowAgent.h"

SButton::SButton() {
    m_focusable = 1;
}

SButton::~SButton() {
    if (m_group != nullptr) {
        m_group->Remove(this);
    }
}

void SButton::SetGroup(SButtonGroup* group) {
    if (group == m_group) {
        return;
    }
    if (m_group != nullptr) {
        m_group->Remove(this);
    }
    m_group = group;
    if (m_group != nullptr) {
        m_group->Add(this);
    }
}

void SButton::SetChecked(int checked) {
    if (checked == m_checked) {
        return;
    }
    if (m_group != nullptr) {
        m_checked = checked;
        Invalidate();
        if (checked != 0) {
            for (SButton* other : m_group->buttons) {
                if (other != this && other->m_checked != 0) {
                    other->m_checked = 0;
                    other->Invalidate();
                }
            }
        }
        return;
    }
    m_checked = checked;
    Invalidate();
    if (m_delegate != nullptr) {
        m_delegate->ButtonClicked(this);
    }
}

void SButton::SetStateCount(int n) {
    if (n > 0) {
        m_stateCount = n;
        if (m_stateIndex >= n) {
            m_stateIndex = 0;
        }
    }
}

void SButton::SetStateIndex(int i) {
    if (i >= 0 && i < m_stateCount && i != m_stateIndex) {
        m_stateIndex = i;
        Invalidate();
    }
}

int SButton::GetVisualState() {
    if (m_pressed != 0) {
        return kStatePressed;
    }
    if (GetEnabled() == 0) {
        return kStateDisabled;
    }
    return IsHovered() != 0 ? kStateHover : kStateNormal;
}

bool SButton::ContainsLocal(const SPoint& point) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    return point.x >= own.left && point.x <= own.right && point.y >= own.top &&
           point.y <= own.bottom;
}

void SButton::StopRepeat() {
    if (m_repeatTimer != 0) {
        KillTimer(m_repeatTimer);
        m_repeatTimer = 0;
    }
}

void SButton::SelectInGroup() {
    SetChecked(1);
    if (m_delegate != nullptr) {
        m_delegate->ButtonClicked(this);
    }
}

int SButton::OnLButtonDown(const SMouseEventArgs& event) {
    m_lastEvent = event;
    m_released = 0;
    m_pressed = 1;
    SetCapture();
    if (m_group != nullptr && m_group->selectOnPress != 0) {
        if (m_delegate != nullptr) {
            m_delegate->ButtonPressedInGroup(this);
        }
        Invalidate();
        m_group->mouseHeld = 1;
        SelectInGroup();
    } else {
        Invalidate();
    }
    if (m_autoRepeat != 0) {
        StopRepeat();
        m_repeatCount = 0;
    }
    if ((m_notifyPress != 0 || m_type == kDrag) && m_delegate != nullptr) {
        m_delegate->ButtonDown(this, event);
    }
    if (m_autoRepeat != 0) {
        if (SWindowAgent* agent = GetAgent()) {
            m_repeatTimer = agent->SetTimer(this, m_repeatDelay);
        }
    }
    return 1;
}

void SButton::Click() {
    if (m_type == kPush) {
        m_stateIndex = (m_stateIndex + 1) % m_stateCount;
        const bool repeatsUsedUp = m_autoRepeat != 0 && m_repeatCount >= m_repeatMax;
        if (!repeatsUsedUp && m_delegate != nullptr) {
            m_delegate->ButtonClicked(this);
        }
    } else if (m_type == kToggle || m_type == kRadio) {
        if (m_group == nullptr) {
            SetChecked(m_checked != 0 ? 0 : 1);
        } else if (m_group->selectOnPress == 0 && m_checked == 0) {
            SelectInGroup();
        }
    }
}

int SButton::OnLButtonUp(const SMouseEventArgs& event) {
    m_lastEvent = event;
    m_released = 1;
    const bool wasPressed = m_pressed != 0;
    if (wasPressed) {
        StopRepeat();
        m_pressed = 0;
        ReleaseCapture();
    }
    if (m_group != nullptr) {
        m_group->mouseHeld = 0;
    }
    if (m_type == kDrag) {
        if (wasPressed && m_delegate != nullptr) {
            m_delegate->ButtonDragEnd(this, event);
        }
    } else if (wasPressed && ContainsLocal(event.point)) {
        // A release that did not follow a press here (or one outside) is no click.
        Click();
    }
    Invalidate();
    return 1;
}

void SButton::PerformClick() {
    if (GetEnabled() == 0 || m_type == kDrag) {
        return;
    }
    if (m_group != nullptr && m_group->selectOnPress != 0) {
        if (m_checked == 0) {
            SelectInGroup();
        }
        return;
    }
    Click();
    Invalidate();
}

int SButton::OnLButtonDoubleClick(const SMouseEventArgs& event) {
    if (m_doubleClickPresses != 0) {
        return OnLButtonDown(event);
    }
    if (m_delegate != nullptr) {
        m_delegate->ButtonDoubleClicked(this);
    }
    return 1;
}

int SButton::OnRButtonUp(const SMouseEventArgs& event) {
    if (ContainsLocal(event.point) && m_delegate != nullptr) {
        m_delegate->ButtonRightClicked(this);
    }
    return 1;
}

void SButton::SlideSelect(const SMouseEventArgs& event) {
    for (SButton* other : m_group->buttons) {
        if (other == this || other->m_checked != 0 || other->GetVisible() == 0 ||
            other->GetEnabled() == 0 || other->GetAgent() != GetAgent()) {
            continue;
        }
        if (other->GetRect(kRectInFrame, 0).Contains(event.framePoint)) {
            other->SelectInGroup();
            return;
        }
    }
}

int SButton::OnMouseMove(const SMouseEventArgs& event) {
    m_lastEvent = event;
    if (m_type == kDrag && m_pressed != 0) {
        if (m_delegate != nullptr) {
            m_delegate->ButtonDragMove(this, event);
        }
        Invalidate();
    }
    if (m_pressed != 0 && m_group != nullptr && m_group->selectOnPress != 0 &&
        m_group->mouseHeld != 0) {
        SlideSelect(event);
    }
    return 1;
}

int SButton::OnMouseEnter(const SMouseEventArgs& event) {
    m_lastEvent = event;
    if (m_group != nullptr && m_group->selectOnPress != 0 && m_group->mouseHeld != 0 &&
        m_checked == 0) {
        SelectInGroup();
    }
    if (m_delegate != nullptr) {
        m_delegate->ButtonMouseEnter(this);
    }
    if (m_repaintOnHover != 0) {
        Invalidate();
    }
    return 1;
}

void SButton::OnMouseLeave() {
    if (m_delegate != nullptr) {
        m_delegate->ButtonMouseLeave(m_lastEvent.keys, this);
    }
    if (m_repaintOnHover != 0) {
        Invalidate();
    }
}

void SButton::OnTimer(uint32_t id) {
    if (id != m_repeatTimer || m_repeatTimer == 0) {
        SWindowBase::OnTimer(id);
        return;
    }
    KillTimer(m_repeatTimer);
    m_repeatTimer = 0;
    if (m_pressed == 0 || m_type != kPush) {
        return;
    }
    if (m_repeatCount < m_repeatMax) {
        ++m_repeatCount;
        if (m_notifyPress != 0 && m_delegate != nullptr) {
            m_delegate->ButtonDown(this, m_lastEvent);
        }
        if (SWindowAgent* agent = GetAgent()) {
            m_repeatTimer = agent->SetTimer(this, kRepeatIntervalMs);
        }
    } else if (m_delegate != nullptr) {
        m_delegate->ButtonClicked(this);
    }
}

void SButton::OnDestroy() {
    StopRepeat();
    SWindowBase::OnDestroy();
}

int SButton::KeyDown(int key, uint32_t flags) {
    namespace keys = platform::window::keys;
    if ((key == keys::kReturn || key == keys::kSpace) && (flags & 1) == 0) {
        PerformClick();
        return 1;
    }
    if (m_delegate != nullptr) {
        m_delegate->ButtonKeyDown(this, key);
    }
    return SWindowBase::KeyDown(key, flags);
}

void SButton::OnSetFocus() {
    Invalidate();
    if (m_delegate != nullptr) {
        m_delegate->ButtonFocusChanged(this, 1);
    }
}

void SButton::OnKillFocus() {
    Invalidate();
    if (m_delegate != nullptr) {
        m_delegate->ButtonFocusChanged(this, 0);
    }
}
