#pragma once

class STitleBar;

// What a title bar tells the frame it belongs to, beyond its buttons' clicks (those go to the
// frame's IButtonDelegate).
class ITitleBarDelegate {
public:
    virtual ~ITitleBarDelegate() = default;
    // A double click on the bar outside its buttons (desktops maximise there; fixed-size frames
    // ignore it).
    virtual void TitleBarDoubleClicked(STitleBar*) {}
};
