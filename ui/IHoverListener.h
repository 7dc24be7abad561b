#pragma once

class SWindowBase;
class SWindowFrame;

// Told every change of a frame's hovered widget (the widget inspector listens this way).
class IHoverListener {
public:
    virtual ~IHoverListener() = default;
    virtual void HoveredWidgetChanged(SWindowBase* widget, SWindowFrame* frame) = 0;
};
