#pragma once

#include <cstdint>

class SToolTipContent;
class SWindowBase;

// The process-wide tooltip window, as widgets reach it. Until one is installed (Set), tooltip
// requests do nothing.
class IToolTipHost {
public:
    virtual ~IToolTipHost() = default;
    // The pointer entered a widget with a tooltip: show `content` after its show delay.
    virtual void ShowToolTip(SWindowBase* widget, SToolTipContent* content) = 0;
    // The pointer left or pressed: (re)start the hide timer with `milliseconds`.
    virtual void RestartHideTimer(uint32_t milliseconds) = 0;

    static void Set(IToolTipHost* host);
    static IToolTipHost* Get();
};
