#include "platform/window/EventQueue.h"

namespace platform::window {

void EventQueue::push(WindowEvent event) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_changed.notify_one();
}

bool EventQueue::pop(WindowEvent& event) {
    std::lock_guard lock(m_mutex);
    if (m_events.empty()) {
        return false;
    }
    event = std::move(m_events.front());
    m_events.pop_front();
    return true;
}

bool EventQueue::empty() const {
    std::lock_guard lock(m_mutex);
    return m_events.empty();
}

bool EventQueue::waitNonEmpty(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (timeout.count() < 0) {
        m_changed.wait(lock, [this] { return !m_events.empty(); });
        return true;
    }
    return m_changed.wait_for(lock, timeout, [this] { return !m_events.empty(); });
}

void EventQueue::clear() {
    std::deque<WindowEvent> dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_events);
    }
    // The events (and any send guards they carry) are destroyed outside the lock.
}

}  // namespace platform::window
