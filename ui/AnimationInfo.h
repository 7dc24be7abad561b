#pragma once

#include <cstdint>
#include <memory>

#include "ui/STransition.h"

// One running animation of a widget, owned by the widget's list.
struct AnimationInfo {
    int32_t key = 0;
    double progress = 0;
    double eased = 0;
    int32_t count = 1;  // negative: run until stopped
    int32_t periodsDone = 0;
    uint32_t period = 0;  // milliseconds
    uint32_t startTick = 0;
    int32_t easing = 0;
    std::unique_ptr<STransition> transition;  // draws the widget while set
};
