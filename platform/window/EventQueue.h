#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/window/WindowEvent.h"

namespace platform::window {

// The part of the UI thread's queue that other threads write to: posted messages, calls and
// wake-ups (and, on the headless backend, injected input). Thread-safe.
class EventQueue {
public:
    void push(WindowEvent event);
    bool pop(WindowEvent& event);
    bool empty() const;
    // Waits until an event is queued or the time runs out (negative: no limit). True when an
    // event is waiting.
    bool waitNonEmpty(std::chrono::milliseconds timeout);
    // Drops every queued event (calls waiting in send are then released as not run).
    void clear();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<WindowEvent> m_events;
};

}  // namespace platform::window
