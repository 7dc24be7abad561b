#include "platform/TickCount.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace platform {
namespace {

std::mutex g_sourceMutex;
std::shared_ptr<TickSource> g_source;  // null: the real clock
std::atomic<bool> g_overridden{false};

uint64_t realTickCount() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

uint64_t tickCount() {
    if (!g_overridden.load(std::memory_order_acquire)) {
        return realTickCount();
    }
    std::shared_ptr<TickSource> source;
    {
        std::lock_guard lock(g_sourceMutex);
        source = g_source;
    }
    return source ? (*source)() : realTickCount();
}

void setTickSource(TickSource source) {
    std::lock_guard lock(g_sourceMutex);
    g_source = source ? std::make_shared<TickSource>(std::move(source)) : nullptr;
    g_overridden.store(g_source != nullptr, std::memory_order_release);
}

struct ManualTickSource::State {
    std::atomic<uint64_t> now;
};

ManualTickSource::ManualTickSource(uint64_t start) : m_state(std::make_shared<State>()) {
    m_state->now = start;
    setTickSource([state = m_state] { return state->now.load(); });
}

ManualTickSource::~ManualTickSource() {
    setTickSource(nullptr);
}

void ManualTickSource::advance(uint64_t ms) {
    m_state->now += ms;
}
void ManualTickSource::set(uint64_t now) {
    m_state->now = now;
}
uint64_t ManualTickSource::now() const {
    return m_state->now.load();
}

}  // namespace platform
