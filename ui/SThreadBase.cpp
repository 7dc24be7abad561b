#include "ui/SThreadBase.h"

#include "base/Log.h"
#include "platform/Thread.h"

SThreadBase::SThreadBase() = default;

SThreadBase::~SThreadBase() {
    std::lock_guard lock(m_lock);
    if (!m_thread.joinable()) {
        return;
    }
    m_stopRequested = true;
    m_terminateRequested = true;
    if (m_stopEvent) {
        m_stopEvent->signal();
    }
    if (m_running.load()) {
        _Log(LOG_WARNING, "SThreadBase::~SThreadBase", __LINE__,
             "worker still running at destruction; waiting for it to end");
    }
    m_thread.join();
}

bool SThreadBase::Start(const std::string& name) {
    std::lock_guard lock(m_lock);
    if (m_running.load()) {
        return true;
    }
    JoinIfEnded();
    // The stop event exists before the thread does, so a Stop right after Start is never lost.
    m_stopEvent = std::make_unique<platform::Event>(platform::Event::Reset::Auto);
    m_stopRequested = false;
    m_terminateRequested = false;
    m_terminateAttempts = 0;
    m_running = true;
    try {
        m_thread = std::thread([this, name] {
            platform::setCurrentThreadName(name);
            ThreadProcedure();
        });
    } catch (const std::system_error& error) {
        m_running = false;
        _Log(LOG_WARNING, "SThreadBase::Start", __LINE__, "cannot start thread: %s", error.what());
        return false;
    }
    return true;
}

void SThreadBase::ThreadProcedure() {
    int code = -1;
    if (OnThreadStart()) {
        code = Run();
        OnThreadEnd();
    }
    m_exitCode = code;
    {
        std::lock_guard lock(m_endMutex);
        m_running = false;
    }
    m_ended.notify_all();
}

bool SThreadBase::IsRunning() const {
    return m_running.load();
}

bool SThreadBase::WaitForStop(int milliseconds) {
    if (m_stopRequested.load()) {
        return true;
    }
    return m_stopEvent && m_stopEvent->wait(std::chrono::milliseconds(milliseconds));
}

bool SThreadBase::WaitUntilEnded(int milliseconds) {
    std::unique_lock lock(m_endMutex);
    return m_ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                            [this] { return !m_running.load(); });
}

void SThreadBase::JoinIfEnded() {
    if (m_thread.joinable() && !m_running.load()) {
        m_thread.join();
    }
}

bool SThreadBase::Stop() {
    std::lock_guard lock(m_lock);
    if (!m_running.load()) {
        JoinIfEnded();
        return true;
    }
    m_stopRequested = true;
    m_stopEvent->signal();
    if (WaitUntilEnded(GetStopTimeout())) {
        JoinIfEnded();
        return true;
    }
    // No way to kill a thread here: ask harder and give it a few more short looks.
    m_terminateRequested = true;
    const int attempts = GetTerminateRetries() + 1;
    for (int i = 0; i < attempts && m_running.load(); ++i) {
        ++m_terminateAttempts;
        m_stopEvent->signal();
        if (WaitUntilEnded(1)) {
            break;
        }
        std::this_thread::yield();
    }
    if (!m_running.load()) {
        JoinIfEnded();
        return true;
    }
    m_exitCode = -2;
    _Log(LOG_WARNING, "SThreadBase::Stop", __LINE__,
         "worker did not stop within %d ms and %d further requests", GetStopTimeout(), attempts);
    return false;
}
