#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/window/Backend.h"
#include "ui/SInvokeArgument.h"

class IAnimationDriver;
class IDispatcherHost;
class IDispatcherInvokeDelegate;
class SDispatcherFrame;
class SWindowAgent;
class SWindowFrame;

// Carries work from other threads to the UI thread and runs the UI thread's loop: window
// events, invocation records in posting order, the animation driver and coalesced repaints.
//
// One per process: the constructor publishes it (GetInstance) and fixes the process zoom
// factor: AURALIS_SCALE, else the desktop's scale setting, else the screen's resolution.
//
// The loop never polls. When nothing is pending it blocks in the window backend until the next
// event, the next timer or the next animation frame; Post wakes it at once.
class SDispatcher {
public:
    explicit SDispatcher(platform::window::Backend& backend);
    ~SDispatcher();
    SDispatcher(const SDispatcher&) = delete;
    SDispatcher& operator=(const SDispatcher&) = delete;

    static SDispatcher* GetInstance();
    // The process zoom factor (SZoomFactor; 1.0 until a dispatcher exists).
    static double GetZoomFactor();
    // Sets the process zoom factor directly (tests and programs that scale on request).
    static void SetZoomFactor(double factor);
    // r = dpi / 96: 1.0 below 1.25, 1.25 below 1.5, else 1.5.
    static double ZoomFactorForDpi(double dpi);
    // The factor AURALIS_SCALE asks for, or 0 when it is unset or not a number in [0.5, 4].
    static double ZoomFactorFromEnvironment();
    // The largest factor, at most `zoom` and stepping down by quarters to no less than 1, at
    // which a window of `width` x `height` units fits inside `area` (screen pixels).
    static double ZoomToFit(double zoom, int width, int height, platform::window::Rect area);
    // Lowers the process zoom factor, when needed, so a window of `width` x `height` units fits
    // the work area of the primary display (the main window before it is made).
    void FitZoomToWorkArea(int width, int height);

    // Any thread. Queues the record for target->Dispatcher_Invoked on the UI thread, after
    // every record posted before it. With a null target nothing is queued. Returns 0.
    int Post(IDispatcherInvokeDelegate* target, std::unique_ptr<SInvokeArgument> argument);
    int Post(IDispatcherInvokeDelegate* target, int32_t id, int32_t param = 0);
    std::size_t PendingInvocations() const;
    // Any thread: drops the records queued for target, also those of a batch being delivered.
    // A receiver's destructor calls it, so no record reaches a destroyed receiver.
    void ForgetTarget(IDispatcherInvokeDelegate* target);

    // UI thread: a frame's agent needs a repaint; any number of marks before the next loop
    // turn cost one paint.
    void MarkDirty(SWindowAgent* agent);
    // An agent that goes away is dropped from the repaint list.
    void ForgetAgent(SWindowAgent* agent);
    bool IsDirty(SWindowAgent* agent) const;

    // Frames register when their native window is created; the most recent one that is still
    // alive is the paint host. Without one, dirty agents are not painted.
    void RegisterFrame(SWindowFrame* frame);
    void UnregisterFrame(SWindowFrame* frame);
    SWindowFrame* GetPaintHost() const;
    // Every frame whose native window exists, oldest first.
    const std::vector<SWindowFrame*>& GetFrames() const { return m_frames; }

    // UI thread. Runs the loop until the quit message (returns 0) or, for a nested loop, until
    // frame's keep-running flag is cleared (returns 1).
    int Run(SDispatcherFrame* frame = nullptr);
    // Any thread: ends the outermost loop (and every nested one).
    void Quit();
    bool IsQuitting() const { return quit.load() != 0; }

    // One turn's steps, also used by tests: deliver queued records, paint dirty frames (or let
    // the animation driver run), and handle every event that is already waiting, without
    // blocking. Returns true when anything happened.
    bool PumpPending();
    void DrainInvocations();
    void PaintDirtyAgents();

    void SetAnimationDriver(IAnimationDriver* driver) { m_animationDriver = driver; }
    IAnimationDriver* GetAnimationDriver() const { return m_animationDriver; }
    void SetHost(IDispatcherHost* host) { m_host = host; }

    platform::window::Backend& GetBackend() const { return m_backend; }

    // The UI thread while the application loop runs.
    void SetUiThread();
    void ClearUiThread();
    bool IsUiThread() const;
    // Debug builds: stops the program when UI-only work runs on another thread while the UI
    // thread is set (widgets, frames and repaints belong to it). Release builds: nothing.
    void AssertUiThread() const;
    void SetLastFrameTick(uint64_t tick) { m_lastFrameTick = tick; }
    uint64_t GetLastFrameTick() const { return m_lastFrameTick; }

    std::atomic<int> quit{0};
    std::atomic<int> running{0};

private:
    void PaintOrAnimate();
    bool HandleEvent(platform::window::WindowEvent& event, SDispatcherFrame* frame, int& result);
    std::chrono::milliseconds NextWait();
    void RunIdleHandler();

    platform::window::Backend& m_backend;
    IAnimationDriver* m_animationDriver = nullptr;
    IDispatcherHost* m_host = nullptr;

    mutable std::mutex m_invokeLock;
    std::deque<std::unique_ptr<SInvokeArgument>> m_invokeQueue;
    // The batches DrainInvocations is delivering (nested loops drain their own), under
    // m_invokeLock like their records' targets.
    std::vector<std::deque<std::unique_ptr<SInvokeArgument>>*> m_draining;
    std::atomic<std::size_t> m_queued{0};

    mutable std::mutex m_repaintLock;
    std::map<SWindowAgent*, int> m_dirtyAgents;
    std::map<SWindowAgent*, int> m_painting;  // the batch being painted, UI thread

    std::vector<SWindowFrame*> m_frames;
    std::atomic<std::thread::id> m_uiThread{};
    uint64_t m_lastFrameTick = 0;
    int m_idleCount = 0;
    bool m_idleDone = false;
};
