#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// Milliseconds on a monotonic clock. Timers, animations and watchdogs read time only through
// this, so tests can replace the clock.
uint64_t tickCount();

using TickSource = std::function<uint64_t()>;

// Replaces the clock for the whole process; an empty function restores the real one.
void setTickSource(TickSource source);

// A clock that moves only when told to; installs itself for its lifetime.
class ManualTickSource {
public:
    explicit ManualTickSource(uint64_t start = 1000);
    ~ManualTickSource();
    ManualTickSource(const ManualTickSource&) = delete;
    ManualTickSource& operator=(const ManualTickSource&) = delete;

    void advance(uint64_t ms);
    void set(uint64_t now);
    uint64_t now() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace platform
