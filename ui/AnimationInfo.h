#pragma once

#include <cstdint>
#include <memory>

#include "ui/STransition.h"

// One running animation of a widget, owned by the widget's list.
struct AnimationInfo {
    int32_t key = 0;
    double progress = 0;  // position within the current period, 0 to 1
    double eased = 0;     // progress after the easing curve
    int32_t count = 1;    // periods to run; negative: run until stopped
    int32_t periodsDone = 0;
    uint32_t period = 0;                      // milliseconds
    uint32_t startTick = 0;                   // platform::tickCount() when started, cut to 32 bits
    int32_t easing = 0;                       // curve 1 to 20; anything else is linear
    std::unique_ptr<STransition> transition;  // draws the widget while set
    // Tells records apart while a step runs: hooks may stop and start animations meanwhile.
    uint64_t serial = 0;
};
