#include "platform/window/BackendBase.h"

#include <condition_variable>
#include <mutex>

#include "platform/TickCount.h"

namespace platform::window {

namespace {

using Clock = std::chrono::steady_clock;

// The state a sending thread waits on. The guard inside the queued call marks it finished
// when the call ran, and abandoned when the call is destroyed without running (the backend
// cleared its queue or went away), so a sender never waits for a call that cannot come.
struct SendState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ran = false;

    void finish(bool hasRun) {
        {
            std::lock_guard lock(mutex);
            finished = true;
            ran = hasRun;
        }
        done.notify_all();
    }
};

struct SendGuard {
    std::shared_ptr<SendState> state;
    std::function<void()> call;
    bool ran = false;

    SendGuard(std::shared_ptr<SendState> s, std::function<void()> c)
        : state(std::move(s)), call(std::move(c)) {}
    SendGuard(const SendGuard&) = delete;
    SendGuard& operator=(const SendGuard&) = delete;
    ~SendGuard() {
        if (!ran) {
            state->finish(false);
        }
    }

    // The sender is released as soon as the call returns, not when the event is destroyed.
    void run() {
        call();
        ran = true;
        state->finish(true);
    }
};

bool isInput(WindowEvent::Type type) {
    using T = WindowEvent::Type;
    switch (type) {
        case T::MouseMove:
        case T::ButtonDown:
        case T::ButtonUp:
        case T::Wheel:
        case T::KeyDown:
        case T::KeyUp:
        case T::TextInput:
            return true;
        default:
            return false;
    }
}

}  // namespace

void Backend::postCall(std::function<void()> call) {
    WindowEvent event;
    event.type = WindowEvent::Type::Call;
    event.call = std::move(call);
    post(std::move(event));
}

void Backend::postQuit() {
    WindowEvent event;
    event.type = WindowEvent::Type::Quit;
    post(std::move(event));
}

void Backend::wake() {
    WindowEvent event;
    event.type = WindowEvent::Type::Wake;
    post(std::move(event));
}

WindowBase::WindowBase(BackendBase& backend, WindowId id) : m_backend(backend), m_id(id) {
    m_backend.registerWindow(this);
}

WindowBase::~WindowBase() {
    m_backend.timers().killAll(m_id);
    m_backend.unregisterWindow(this);
}

bool WindowBase::setTimer(uint32_t id, uint32_t milliseconds) {
    return m_backend.timers().set(m_id, id, milliseconds);
}

bool WindowBase::killTimer(uint32_t id) {
    return m_backend.timers().kill(m_id, id);
}

BackendBase::BackendBase() : m_uiThread(std::this_thread::get_id()) {}

BackendBase::~BackendBase() {
    m_queue.clear();
}

WindowBase* BackendBase::findWindow(WindowId id) const {
    const auto it = m_windows.find(id);
    return it == m_windows.end() ? nullptr : it->second;
}

void BackendBase::registerWindow(WindowBase* window) {
    m_windows[window->id()] = window;
}

void BackendBase::unregisterWindow(WindowBase* window) {
    m_windows.erase(window->id());
}

bool BackendBase::refuseInput(WindowEvent& event) const {
    if (!isInput(event.type)) {
        return false;
    }
    const WindowBase* window = findWindow(event.window);
    if (window == nullptr || window->isEnabled()) {
        return false;
    }
    if (event.type == WindowEvent::Type::ButtonDown) {
        // The owner of a modal dialog learns of the click so it can bring the dialog up.
        event.type = WindowEvent::Type::InputRefused;
        return false;
    }
    return true;
}

bool BackendBase::nextEvent(WindowEvent& event) {
    if (m_queue.pop(event) || pollNative(event)) {
        return true;
    }
    WindowId window = 0;
    uint32_t id = 0;
    if (m_timers.popDue(platform::tickCount(), window, id)) {
        event = WindowEvent{};
        event.type = WindowEvent::Type::Timer;
        event.window = window;
        event.timerId = id;
        return true;
    }
    return false;
}

bool BackendBase::pollEvent(WindowEvent& event) {
    while (nextEvent(event)) {
        if (!refuseInput(event)) {
            return true;
        }
    }
    return false;
}

bool BackendBase::waitEvent(WindowEvent& event, std::chrono::milliseconds timeout) {
    const bool unlimited = timeout.count() < 0;
    const Clock::time_point deadline = Clock::now() + (unlimited ? Clock::duration{} : timeout);
    for (;;) {
        if (pollEvent(event)) {
            return true;
        }
        std::chrono::milliseconds wait{-1};
        if (!unlimited) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            wait = left;
        }
        if (const auto due = m_timers.nextDue()) {
            const uint64_t now = platform::tickCount();
            const std::chrono::milliseconds untilTimer{*due > now ? *due - now : 0};
            if (wait.count() < 0 || untilTimer < wait) {
                wait = untilTimer;
            }
        }
        // A post that came while pollEvent was taking the native wake-up found that wake-up
        // still pending and sent none of its own: its event is queued, and waiting now would
        // leave it there until the next input.
        if (!m_queue.empty()) {
            continue;
        }
        if (wait.count() != 0) {
            waitNative(wait);
        }
    }
}

void BackendBase::dispatch(const WindowEvent& event) {
    if (event.type == WindowEvent::Type::Call) {
        if (event.call) {
            event.call();
        }
        return;
    }
    if (WindowBase* window = findWindow(event.window)) {
        if (WindowListener* listener = window->listener()) {
            listener->onWindowEvent(event);
        }
    }
}

void BackendBase::post(WindowEvent event) {
    m_queue.push(std::move(event));
    wakeNative();
}

bool BackendBase::send(std::function<void()> call, std::chrono::milliseconds timeout) {
    if (onUiThread()) {
        call();
        return true;
    }
    auto state = std::make_shared<SendState>();
    auto guard = std::make_shared<SendGuard>(state, std::move(call));
    postCall([guard] { guard->run(); });
    guard.reset();
    std::unique_lock lock(state->mutex);
    if (timeout.count() < 0) {
        state->done.wait(lock, [&] { return state->finished; });
    } else if (!state->done.wait_for(lock, timeout, [&] { return state->finished; })) {
        return false;
    }
    return state->ran;
}

const char* toString(WindowEvent::Type type) {
    using T = WindowEvent::Type;
    switch (type) {
        case T::None:
            return "None";
        case T::MouseMove:
            return "MouseMove";
        case T::MouseLeave:
            return "MouseLeave";
        case T::ButtonDown:
            return "ButtonDown";
        case T::ButtonUp:
            return "ButtonUp";
        case T::Wheel:
            return "Wheel";
        case T::KeyDown:
            return "KeyDown";
        case T::KeyUp:
            return "KeyUp";
        case T::TextInput:
            return "TextInput";
        case T::Timer:
            return "Timer";
        case T::Resized:
            return "Resized";
        case T::Moved:
            return "Moved";
        case T::Shown:
            return "Shown";
        case T::Hidden:
            return "Hidden";
        case T::Exposed:
            return "Exposed";
        case T::CloseRequested:
            return "CloseRequested";
        case T::FocusGained:
            return "FocusGained";
        case T::FocusLost:
            return "FocusLost";
        case T::InputRefused:
            return "InputRefused";
        case T::DropBegin:
            return "DropBegin";
        case T::DropFile:
            return "DropFile";
        case T::DropComplete:
            return "DropComplete";
        case T::User:
            return "User";
        case T::Call:
            return "Call";
        case T::Wake:
            return "Wake";
        case T::Quit:
            return "Quit";
    }
    return "?";
}

}  // namespace platform::window
