#pragma once

#include <atomic>
#include <map>
#include <thread>

#include "platform/window/Backend.h"
#include "platform/window/EventQueue.h"
#include "platform/window/TimerTable.h"

namespace platform::window {

class BackendBase;

// What every backend's windows share: the id, the listener, the enabled flag and the timers,
// which live in the backend's table.
class WindowBase : public Window {
public:
    WindowBase(BackendBase& backend, WindowId id);
    ~WindowBase() override;

    WindowId id() const override { return m_id; }
    void setListener(WindowListener* listener) override { m_listener = listener; }
    WindowListener* listener() const { return m_listener; }

    bool setTimer(uint32_t id, uint32_t milliseconds) override;
    bool killTimer(uint32_t id) override;

    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool isEnabled() const override { return m_enabled; }

protected:
    BackendBase& m_backend;

private:
    const WindowId m_id;
    WindowListener* m_listener = nullptr;
    bool m_enabled = true;
};

// The queue, timer and dispatch logic both backends share. A backend supplies how native events
// are fetched (pollNative) and how the thread sleeps until one may be there (waitNative).
class BackendBase : public Backend {
public:
    BackendBase();
    ~BackendBase() override;

    bool pollEvent(WindowEvent& event) override;
    bool waitEvent(WindowEvent& event, std::chrono::milliseconds timeout) override;
    void dispatch(const WindowEvent& event) override;
    void post(WindowEvent event) override;
    bool send(std::function<void()> call, std::chrono::milliseconds timeout) override;

    TimerTable& timers() { return m_timers; }
    WindowBase* findWindow(WindowId id) const;
    void registerWindow(WindowBase* window);
    void unregisterWindow(WindowBase* window);

    // The thread that created the backend is its UI thread.
    bool onUiThread() const { return std::this_thread::get_id() == m_uiThread; }

protected:
    // Takes one native event without waiting.
    virtual bool pollNative(WindowEvent& event) = 0;
    // Sleeps until a native event may be waiting, something was posted, or the time runs out.
    virtual void waitNative(std::chrono::milliseconds timeout) = 0;
    // Ends a waitNative from any thread.
    virtual void wakeNative() = 0;

    EventQueue m_queue;

private:
    bool nextEvent(WindowEvent& event);
    bool refuseInput(WindowEvent& event) const;

    TimerTable m_timers;
    std::map<WindowId, WindowBase*> m_windows;
    std::thread::id m_uiThread;
};

}  // namespace platform::window
