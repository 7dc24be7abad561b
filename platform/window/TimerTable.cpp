#include "platform/window/TimerTable.h"

#include <algorithm>

#include "platform/TickCount.h"

namespace platform::window {

bool TimerTable::set(WindowId window, uint32_t id, uint32_t milliseconds) {
    if (id == 0) {
        return false;
    }
    const uint32_t period = std::max(milliseconds, kMinimumPeriodMs);
    const uint64_t due = platform::tickCount() + period;
    for (Timer& timer : m_timers) {
        if (timer.window == window && timer.id == id) {
            timer.period = period;
            timer.due = due;
            return true;
        }
    }
    m_timers.push_back(Timer{window, id, period, due});
    return true;
}

bool TimerTable::kill(WindowId window, uint32_t id) {
    const auto it = std::find_if(m_timers.begin(), m_timers.end(),
                                 [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == m_timers.end()) {
        return false;
    }
    m_timers.erase(it);
    return true;
}

void TimerTable::killAll(WindowId window) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.window == window; });
}

bool TimerTable::contains(WindowId window, uint32_t id) const {
    return std::any_of(m_timers.begin(), m_timers.end(),
                       [&](const Timer& t) { return t.window == window && t.id == id; });
}

std::optional<uint64_t> TimerTable::nextDue() const {
    if (m_timers.empty()) {
        return std::nullopt;
    }
    const auto earliest =
        std::min_element(m_timers.begin(), m_timers.end(),
                         [](const Timer& a, const Timer& b) { return a.due < b.due; });
    return earliest->due;
}

bool TimerTable::popDue(uint64_t now, WindowId& window, uint32_t& id) {
    Timer* earliest = nullptr;
    for (Timer& timer : m_timers) {
        if (timer.due <= now && (earliest == nullptr || timer.due < earliest->due)) {
            earliest = &timer;
        }
    }
    if (earliest == nullptr) {
        return false;
    }
    window = earliest->window;
    id = earliest->id;
    earliest->due = now + earliest->period;
    return true;
}

}  // namespace platform::window
