#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/window/WindowTypes.h"

namespace platform::window {

// The timers of all windows of one backend, kept on the UI thread and read against
// platform::tickCount(), so a test clock drives them. Like the native timers they stand for, a
// timer that falls behind delivers one tick, not a burst.
class TimerTable {
public:
    static constexpr uint32_t kMinimumPeriodMs = 10;

    // Starts or restarts timer (window, id). Id 0 is refused.
    bool set(WindowId window, uint32_t id, uint32_t milliseconds);
    bool kill(WindowId window, uint32_t id);
    void killAll(WindowId window);
    bool contains(WindowId window, uint32_t id) const;
    std::size_t size() const { return m_timers.size(); }

    // Tick count at which the earliest timer is due; nothing when no timer runs.
    std::optional<uint64_t> nextDue() const;
    // Takes the earliest timer that is due at `now` and schedules its next tick.
    bool popDue(uint64_t now, WindowId& window, uint32_t& id);

private:
    struct Timer {
        WindowId window;
        uint32_t id;
        uint32_t period;
        uint64_t due;
    };
    std::vector<Timer> m_timers;
};

}  // namespace platform::window
