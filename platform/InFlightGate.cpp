#include "platform/InFlightGate.h"

#include <algorithm>

namespace platform {

InFlightGate::Pass::Pass(Pass&& other) noexcept {
    takeFrom(other);
}

InFlightGate::Pass& InFlightGate::Pass::operator=(Pass&& other) noexcept {
    if (this != &other) {
        if (m_gate != nullptr) {
            m_gate->leave(m_holder);
        }
        takeFrom(other);
    }
    return *this;
}

InFlightGate::Pass::~Pass() {
    if (m_gate != nullptr) {
        m_gate->leave(m_holder);
    }
}

void InFlightGate::Pass::takeFrom(Pass& other) {
    m_gate = other.m_gate;
    m_holder = std::thread::id();
    if (m_gate != nullptr && other.m_holder != std::thread::id()) {
        // It may be on its way to another thread: its entering thread no longer holds it.
        m_gate->release(other.m_holder);
    }
    other.m_gate = nullptr;
    other.m_holder = std::thread::id();
}

InFlightGate::Pass InFlightGate::enter() {
    const std::thread::id self = std::this_thread::get_id();
    std::lock_guard lock(m_mutex);
    if (m_closed) {
        return Pass();
    }
    ++m_inFlight;
    m_holders.push_back(self);
    return Pass(this, self);
}

void InFlightGate::leave(std::thread::id holder) {
    std::lock_guard lock(m_mutex);
    --m_inFlight;
    if (holder != std::thread::id()) {
        const auto found = std::find(m_holders.begin(), m_holders.end(), holder);
        if (found != m_holders.end()) {
            m_holders.erase(found);
        }
    }
    m_left.notify_all();
}

void InFlightGate::release(std::thread::id holder) {
    std::lock_guard lock(m_mutex);
    const auto found = std::find(m_holders.begin(), m_holders.end(), holder);
    if (found != m_holders.end()) {
        m_holders.erase(found);
    }
}

int InFlightGate::othersInFlight() const {
    const auto own = std::count(m_holders.begin(), m_holders.end(), std::this_thread::get_id());
    return m_inFlight - static_cast<int>(own);
}

void InFlightGate::closeAndWait() {
    std::unique_lock lock(m_mutex);
    m_closed = true;
    m_left.wait(lock, [this] { return othersInFlight() == 0; });
}

bool InFlightGate::closeAndWait(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_closed = true;
    return m_left.wait_for(lock, limit, [this] { return othersInFlight() == 0; });
}

bool InFlightGate::closed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

int InFlightGate::inFlight() const {
    std::lock_guard lock(m_mutex);
    return m_inFlight;
}

}  // namespace platform
