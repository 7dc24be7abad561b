#include "platform/Event.h"

namespace platform {

Event::Event(Reset reset, Initial initial)
    : m_reset(reset), m_signalled(initial == Initial::Signalled) {}

void Event::signal() {
    // Notify while holding the lock: a waiter released by this signal may destroy the event as
    // soon as it returns, so nothing here may touch the object after the lock is released.
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    if (m_reset == Reset::Auto) {
        m_changed.notify_one();
    } else {
        m_changed.notify_all();
    }
}

void Event::reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool Event::isSignalled() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

bool Event::consumeIfSignalled() {
    if (!m_signalled) {
        return false;
    }
    if (m_reset == Reset::Auto) {
        m_signalled = false;
    }
    return true;
}

bool Event::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!consumeIfSignalled()) {
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            return consumeIfSignalled();
        }
    }
    return true;
}

void Event::wait() {
    std::unique_lock lock(m_mutex);
    while (!consumeIfSignalled()) {
        m_changed.wait(lock);
    }
}

}  // namespace platform
