#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Event.h"

// The base of the toolkit's worker threads. A derived class supplies Run, which must watch the
// stop event (WaitForStop / IsStopRequested) and return promptly once it is signalled.
//
// Stop asks politely and waits GetStopTimeout() milliseconds. A thread cannot be killed on
// this platform, so a worker that does not end in time is then asked again, harder
// (IsTerminateRequested turns true), and watched GetTerminateRetries() + 1 more times; if it
// still runs, Stop reports failure and logs it. The destructor stops the thread and waits for
// it, so a Run that never returns keeps its object alive instead of leaving a thread behind
// that uses freed memory.
class SThreadBase {
public:
    SThreadBase();
    virtual ~SThreadBase();  // 0
    SThreadBase(const SThreadBase&) = delete;
    SThreadBase& operator=(const SThreadBase&) = delete;

    // Starts the thread unless it runs already. True when a thread is running afterwards.
    bool Start(const std::string& name = "SThreadBase");
    // True when the thread has ended (or never ran); false when it is still running.
    bool Stop();
    bool IsRunning() const;
    // The value Run returned; -1 when OnThreadStart refused; -2 after a stop that timed out.
    int GetExitCode() const { return m_exitCode.load(); }
    int GetTerminateAttempts() const { return m_terminateAttempts.load(); }

protected:
    virtual bool OnThreadStart() { return true; }           // 1
    virtual int Run() = 0;                                  // 2
    virtual void OnThreadEnd() {}                           // 3
    virtual int GetStopTimeout() const { return 1000; }     // 4
    virtual int GetTerminateRetries() const { return 10; }  // 5

    // For Run: wait up to `milliseconds` for the stop request; true when it came.
    bool WaitForStop(int milliseconds);
    bool IsStopRequested() const { return m_stopRequested.load(); }
    bool IsTerminateRequested() const { return m_terminateRequested.load(); }

private:
    void ThreadProcedure();
    bool WaitUntilEnded(int milliseconds);
    void JoinIfEnded();

    mutable std::mutex m_lock;  // serialises Start and Stop
    std::thread m_thread;
    std::unique_ptr<platform::Event> m_stopEvent;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_terminateRequested{false};
    std::atomic<int> m_exitCode{0};
    std::atomic<int> m_terminateAttempts{0};
    std::mutex m_endMutex;
    std::condition_variable m_ended;
};
