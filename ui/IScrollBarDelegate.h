#pragma once

class SScrollBarBase;

// Told when a scroll bar's position changes (by the user or by clamping).
class IScrollBarDelegate {
public:
    virtual ~IScrollBarDelegate() = default;
    virtual void ScrollBarPositionChanged(SScrollBarBase* bar, double position) = 0;
};
