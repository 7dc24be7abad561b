#pragma once

#include <cstdint>

#include "ui/SPoint.h"
#include "ui/SRect.h"

// Modifier and button flags of pointer events (the toolkit's long-standing MK_ values).
inline constexpr uint32_t MK_LBUTTON = 0x0001;
inline constexpr uint32_t MK_RBUTTON = 0x0002;
inline constexpr uint32_t MK_SHIFT = 0x0004;
inline constexpr uint32_t MK_CONTROL = 0x0008;
inline constexpr uint32_t MK_MBUTTON = 0x0010;

// The pointer-event record passed down the tree. The IWindowBase operations receive point in
// frame client pixels; the On... hooks receive a copy whose point is in the widget's own
// logical units (framePoint keeps the client pixels).
class SMouseEventArgs {
public:
    SMouseEventArgs() = default;
    SMouseEventArgs(double x, double y) : point(x, y), framePoint(x, y) {}
    virtual ~SMouseEventArgs() = default;
    SMouseEventArgs(const SMouseEventArgs&) = default;
    SMouseEventArgs& operator=(const SMouseEventArgs&) = default;

    SPoint point;
    SPoint framePoint;
    SRect rect;
    int wheelDelta = 0;  // 120 per notch, positive away from the user
    uint32_t keys = 0;   // MK_ flags
    int clicks = 1;
};
