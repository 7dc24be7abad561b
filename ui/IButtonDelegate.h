#pragma once

#include <cstdint>

class SButton;
class SMouseEventArgs;

// What a button tells its owner (screens implement it). Every operation has an empty default.
// The first seven, in this order, are the button's own notifications; the rest are further
// notifications of the button family.
class IButtonDelegate {
public:
    virtual ~IButtonDelegate() = default;
    // A button of a group that selects on press was pressed.
    virtual void ButtonPressedInGroup(SButton*) {}
    // A click: a press and a release inside, a toggle, a group selection, the end of a repeat.
    virtual void ButtonClicked(SButton*) {}
    // A press (and every repeat) of a button with notifyPress, or of a drag button.
    virtual void ButtonDown(SButton*, const SMouseEventArgs&) {}
    virtual void ButtonMouseEnter(SButton*) {}
    virtual void ButtonMouseLeave(uint32_t /*keys*/, SButton*) {}
    virtual void ButtonDragEnd(SButton*, const SMouseEventArgs&) {}
    virtual void ButtonDragMove(SButton*, const SMouseEventArgs&) {}
    // A double click on a button that does not take it as a second press.
    virtual void ButtonDoubleClicked(SButton*) {}
    // A right-button release over the button.
    virtual void ButtonRightClicked(SButton*) {}
    // The button gained (1) or lost (0) the keyboard focus.
    virtual void ButtonFocusChanged(SButton*, int /*gained*/) {}
    // A key the focused button did not use itself.
    virtual void ButtonKeyDown(SButton*, int /*key*/) {}
};
