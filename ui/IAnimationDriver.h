#pragma once

#include <cstdint>

// The hook through which the animation machinery runs inside the dispatcher's loop. The loop
// calls Drive once per turn: in forced mode when it is about to paint dirty frames itself
// (the driver then only steps the animations and reports whether any ran), in normal mode
// otherwise (the driver paints the layers it stepped). Returns 1 when it did something.
class IAnimationDriver {
public:
    virtual ~IAnimationDriver() = default;
    virtual int Drive(int forced) = 0;
    // Milliseconds until the driver wants its next turn (0: now); negative when no animation
    // runs, so the loop may sleep until the next event.
    virtual int64_t MillisecondsToNextFrame() = 0;
};
