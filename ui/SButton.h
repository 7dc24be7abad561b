#pragma once

#include <cstdint>

#include "ui/SMouseEventArgs.h"
#include "ui/SWindowBase.h"

class IButtonDelegate;
class SButtonGroup;

// The behaviour of every button: press, mouse capture, click on a release inside, the state
// cycle of push buttons, toggles and radio groups, auto-repeat while held, and drag
// notifications. Subclasses only paint. Focusable; Return and Space click the focused button.
class SButton : public SWindowBase {
public:
    enum Type : int { kPush = 0, kToggle = 1, kRadio = 2, kDrag = 3 };
    // Visual states subclasses paint.
    enum VisualState : int {
        kStateNormal = 0,
        kStateHover = 1,
        kStatePressed = 2,
        kStateDisabled = 3
    };
    static constexpr uint32_t kRepeatIntervalMs = 50;

    SButton();
    ~SButton() override;
    const char* GetClassName() const override { return "SButton"; }

    // ---- state
    // In a group: store, and when 1 make it the only checked button; the delegate is not told.
    // Outside a group: store and tell the delegate ButtonClicked. No change if equal.
    void SetChecked(int checked);
    int GetChecked() const { return m_checked; }
    // Ignored unless n > 0.
    void SetStateCount(int n);
    int GetStateCount() const { return m_stateCount; }
    // Ignored unless i < the state count.
    void SetStateIndex(int i);
    int GetStateIndex() const { return m_stateIndex; }
    void SetType(int type) { m_type = type; }
    int GetType() const { return m_type; }
    void SetGroup(SButtonGroup* group);
    SButtonGroup* GetGroup() const { return m_group; }
    void SetDelegate(IButtonDelegate* delegate) { m_delegate = delegate; }
    IButtonDelegate* GetDelegate() const { return m_delegate; }
    void SetRepaintOnHover(int value) { m_repaintOnHover = value; }
    void SetDoubleClickPresses(int value) { m_doubleClickPresses = value; }
    void SetNotifyPress(int value) { m_notifyPress = value; }
    void SetAutoRepeat(int value) { m_autoRepeat = value; }
    void SetRepeatDelay(uint32_t milliseconds) { m_repeatDelay = milliseconds; }
    void SetRepeatMax(int value) { m_repeatMax = value; }
    int GetRepeatCount() const { return m_repeatCount; }
    int IsPressed() const { return m_pressed; }
    int IsReleased() const { return m_released; }
    const SMouseEventArgs& GetLastEvent() const { return m_lastEvent; }
    // 2 while pressed, else 1 hovered, 0 enabled, 3 disabled.
    int GetVisualState();
    // What a press and a release inside would do (the keyboard's click).
    void PerformClick();

    // ---- events
    int OnLButtonDown(const SMouseEventArgs& event) override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    int OnLButtonDoubleClick(const SMouseEventArgs& event) override;
    int OnRButtonUp(const SMouseEventArgs& event) override;
    int OnMouseMove(const SMouseEventArgs& event) override;
    int OnMouseEnter(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;
    void OnTimer(uint32_t id) override;
    void OnDestroy() override;
    int KeyDown(int key, uint32_t flags) override;
    void OnSetFocus() override;
    void OnKillFocus() override;

protected:
    // The click of a release inside (or of the keyboard).
    void Click();
    void StopRepeat();
    bool ContainsLocal(const SPoint& point);
    // While the mouse is held on a group that selects on press, sliding over its other buttons
    // selects them, although the pressed button holds the capture.
    void SlideSelect(const SMouseEventArgs& event);
    void SelectInGroup();

    SMouseEventArgs m_lastEvent;
    int m_pressed = 0;
    int m_released = 0;
    int m_checked = 0;
    int m_repaintOnHover = 0;
    int m_doubleClickPresses = 0;
    int m_notifyPress = 0;
    int m_autoRepeat = 0;
    uint32_t m_repeatDelay = 500;
    uint32_t m_repeatTimer = 0;
    int m_repeatCount = 0;
    int m_repeatMax = 30;
    SButtonGroup* m_group = nullptr;
    IButtonDelegate* m_delegate = nullptr;
    int m_stateCount = 1;
    int m_stateIndex = 0;
    int m_type = kPush;
};
