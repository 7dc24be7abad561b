#include "ui/SDispatcher.h"

#include <algorithm>
#include <cmath>

#include <algorithm>
#include <cstdlib>

#include "base/Log.h"
#include "ui/IAnimationDriver.h"
#include "ui/IDispatcherHost.h"
#include "ui/IDispatcherInvokeDelegate.h"
#include "ui/SDispatcherFrame.h"
#include "ui/SWindowAgent.h"
#include "ui/SZoomFactor.h"

using platform::window::WindowEvent;

namespace {

std::atomic<SDispatcher*> g_instance{nullptr};

// Events handled in one go before the loop delivers records and paints again: bursts of input
// cost one paint, and a flood of input still cannot hold up records and paints for long.
constexpr int kEventBatch = 64;
// The idle handler is asked at most this often per idle phase, so it cannot spin the loop.
constexpr int kMaxIdleCalls = 64;

}  // namespace

SDispatcher::SDispatcher(platform::window::Backend& backend) : m_backend(backend) {
    double zoom = ZoomFactorFromEnvironment();
    if (zoom <= 0) {
        zoom = backend.desktopScale();
        if (zoom > 0) {
            _Log(LOG_INFO, "SDispatcher::SDispatcher", __LINE__,
                 "zoom %.2f from the desktop's scale setting", zoom);
        }
    }
    if (zoom <= 0) {
        zoom = ZoomFactorForDpi(backend.screenDpi());
    }
    SZoomFactor::Set(zoom);
    g_instance = this;
}

SDispatcher::~SDispatcher() {
    SDispatcher* self = this;
    g_instance.compare_exchange_strong(self, nullptr);
}

SDispatcher* SDispatcher::GetInstance() {
    return g_instance.load();
}

double SDispatcher::GetZoomFactor() {
    return SZoomFactor::Get();
}

void SDispatcher::SetZoomFactor(double factor) {
    SZoomFactor::Set(factor);
}

double SDispatcher::ZoomFactorForDpi(double dpi) {
    if (!(dpi > 0)) {
        dpi = 96.0;  // an unknown resolution counts as the usual one
    }
    const double r = dpi / 96.0;
    if (r < 1.25) {
        return 1.0;
    }
    if (r < 1.5) {
        return 1.25;
    }
    return 1.5;
}

double SDispatcher::ZoomFactorFromEnvironment() {
    const char* text = std::getenv("AURALIS_SCALE");
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0.5 && value <= 4.0)) {
        _Log(LOG_WARNING, "SDispatcher::ZoomFactorFromEnvironment", __LINE__,
             "AURALIS_SCALE=\"%s\" ignored: expected a number from 0.5 to 4", text);
        return 0;
    }
    return value;
}

double SDispatcher::ZoomToFit(double zoom, int width, int height, platform::window::Rect area) {
    if (area.width <= 0 || area.height <= 0) {
        return zoom;
    }
    auto fits = [&](double factor) {
        return std::ceil(width * factor) <= area.width && std::ceil(height * factor) <= area.height;
    };
    double fitted = zoom;
    while (fitted > 1.0 && !fits(fitted)) {
        // Down to the next quarter step below, so odd factors (1.3) land on a regular one.
        fitted = std::max(1.0, std::ceil(fitted * 4.0 - 1.0) / 4.0);
    }
    return fitted;
}

void SDispatcher::FitZoomToWorkArea(int width, int height) {
    const platform::window::Rect area = m_backend.displayBoundsNear(platform::window::Point{});
    const double zoom = GetZoomFactor();
    const double fitted = ZoomToFit(zoom, width, height, area);
    if (fitted != zoom) {
        _Log(LOG_INFO, "SDispatcher::FitZoomToWorkArea", __LINE__,
             "zoom %.2f -> %.2f: a %dx%d window must fit the %dx%d work area", zoom, fitted, width,
             height, area.width, area.height);
        SetZoomFactor(fitted);
    }
}

int SDispatcher::Post(IDispatcherInvokeDelegate* target,
                      std::unique_ptr<SInvokeArgument> argument) {
    if (target == nullptr || !argument) {
        return 0;
    }
    argument->target = target;
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_invokeLock);
        wasEmpty = m_invokeQueue.empty();
        m_invokeQueue.push_back(std::move(argument));
        m_queued = m_invokeQueue.size();
    }
    // Only the first record after a drain needs to wake the loop; later ones find the wake-up
    // already on its way.
    if (wasEmpty) {
        m_backend.wake();
    }
    return 0;
}

int SDispatcher::Post(IDispatcherInvokeDelegate* target, int32_t id, int32_t param) {
    return Post(target, std::make_unique<SInvokeArgument>(id, param));
}

std::size_t SDispatcher::PendingInvocations() const {
    return m_queued.load();
}

void SDispatcher::DrainInvocations() {
    if (m_queued.load() == 0) {
        return;
    }
    std::deque<std::unique_ptr<SInvokeArgument>> batch;
    {
        std::lock_guard lock(m_invokeLock);
        batch.swap(m_invokeQueue);
        m_queued = 0;
        m_draining.push_back(&batch);
    }
    // Records posted while this batch runs (by the targets too) wait for the next drain. A
    // record may destroy the target of a later one (or run a nested loop that drains a batch of
    // its own); ForgetTarget then clears that target in every batch being delivered.
    for (std::unique_ptr<SInvokeArgument>& record : batch) {
        IDispatcherInvokeDelegate* target = nullptr;
        {
            std::lock_guard lock(m_invokeLock);
            target = record->target;
        }
        if (target != nullptr) {
            target->Dispatcher_Invoked(record.get());
        }
        std::lock_guard lock(m_invokeLock);
        record.reset();
    }
    std::lock_guard lock(m_invokeLock);
    std::erase(m_draining, &batch);
}

void SDispatcher::ForgetTarget(IDispatcherInvokeDelegate* target) {
    std::lock_guard lock(m_invokeLock);
    std::erase_if(m_invokeQueue, [target](const std::unique_ptr<SInvokeArgument>& record) {
        return record->target == target;
    });
    m_queued = m_invokeQueue.size();
    for (std::deque<std::unique_ptr<SInvokeArgument>>* batch : m_draining) {
        for (std::unique_ptr<SInvokeArgument>& record : *batch) {
            if (record && record->target == target) {
                record->target = nullptr;
            }
        }
    }
}

void SDispatcher::MarkDirty(SWindowAgent* agent) {
    AssertUiThread();
    if (agent == nullptr) {
        return;
    }
    std::lock_guard lock(m_repaintLock);
    m_dirtyAgents[agent] = 1;
}

void SDispatcher::ForgetAgent(SWindowAgent* agent) {
    std::lock_guard lock(m_repaintLock);
    m_dirtyAgents.erase(agent);
    m_painting.erase(agent);
}

bool SDispatcher::IsDirty(SWindowAgent* agent) const {
    std::lock_guard lock(m_repaintLock);
    const auto it = m_dirtyAgents.find(agent);
    return it != m_dirtyAgents.end() && it->second != 0;
}

void SDispatcher::RegisterFrame(SWindowFrame* frame) {
    AssertUiThread();
    UnregisterFrame(frame);
    m_frames.push_back(frame);
}

void SDispatcher::UnregisterFrame(SWindowFrame* frame) {
    AssertUiThread();
    std::erase(m_frames, frame);
}

SWindowFrame* SDispatcher::GetPaintHost() const {
    return m_frames.empty() ? nullptr : m_frames.back();
}

void SDispatcher::PaintDirtyAgents() {
    {
        std::lock_guard lock(m_repaintLock);
        m_painting.swap(m_dirtyAgents);
        m_dirtyAgents.clear();
    }
    // The lock is not held while painting: a paint may invalidate again (that mark waits for
    // the next turn) and an agent destroyed meanwhile is taken out of this batch.
    for (;;) {
        SWindowAgent* agent = nullptr;
        int flag = 0;
        {
            std::lock_guard lock(m_repaintLock);
            if (m_painting.empty()) {
                break;
            }
            agent = m_painting.begin()->first;
            flag = m_painting.begin()->second;
            m_painting.erase(m_painting.begin());
        }
        if (flag != 0 && agent->HasWindow()) {
            agent->Paint();
        }
    }
}

void SDispatcher::PaintOrAnimate() {
    bool dirty = false;
    {
        std::lock_guard lock(m_repaintLock);
        dirty = !m_dirtyAgents.empty();
    }
    if (dirty && GetPaintHost() != nullptr) {
        if (m_animationDriver != nullptr) {
            m_animationDriver->Drive(1);
        }
        PaintDirtyAgents();
    } else if (m_animationDriver != nullptr) {
        m_animationDriver->Drive(0);
    }
}

std::chrono::milliseconds SDispatcher::NextWait() {
    if (m_queued.load() != 0) {
        return std::chrono::milliseconds{0};
    }
    {
        std::lock_guard lock(m_repaintLock);
        if (!m_dirtyAgents.empty() && GetPaintHost() != nullptr) {
            return std::chrono::milliseconds{0};
        }
    }
    if (m_animationDriver != nullptr) {
        const int64_t next = m_animationDriver->MillisecondsToNextFrame();
        if (next >= 0) {
            return std::chrono::milliseconds{next};
        }
    }
    return std::chrono::milliseconds{-1};
}

void SDispatcher::RunIdleHandler() {
    if (m_host == nullptr || m_idleDone) {
        return;
    }
    m_idleDone = true;
    for (m_idleCount = 0; m_idleCount < kMaxIdleCalls; ++m_idleCount) {
        if (m_host->OnIdle(m_idleCount) == 0) {
            break;
        }
    }
}

bool SDispatcher::HandleEvent(WindowEvent& event, SDispatcherFrame* frame, int& result) {
    if (event.type == WindowEvent::Type::Quit) {
        quit = 1;
        result = 0;
        return true;
    }
    m_idleDone = false;
    if (m_host == nullptr || m_host->PreTranslateMessage(event) == 0) {
        m_backend.dispatch(event);
    }
    if (frame != nullptr && !frame->KeepRunning()) {
        result = 1;
        return true;
    }
    if (quit.load() != 0) {
        result = 0;
        return true;
    }
    return false;
}

int SDispatcher::Run(SDispatcherFrame* frame) {
    running = 1;
    for (;;) {
        DrainInvocations();
        PaintOrAnimate();
        if (frame != nullptr && !frame->KeepRunning()) {
            return 1;
        }
        if (quit.load() != 0) {
            return 0;
        }
        RunIdleHandler();
        WindowEvent event;
        if (!m_backend.waitEvent(event, NextWait())) {
            continue;  // an animation frame is due, or something was marked meanwhile
        }
        int handled = 0;
        do {
            int result = 0;
            if (HandleEvent(event, frame, result)) {
                return result;
            }
        } while (++handled < kEventBatch && m_backend.pollEvent(event));
    }
}

void SDispatcher::Quit() {
    m_backend.postQuit();
}

bool SDispatcher::PumpPending() {
    bool any = m_queued.load() != 0;
    DrainInvocations();
    WindowEvent event;
    while (quit.load() == 0 && m_backend.pollEvent(event)) {
        any = true;
        int result = 0;
        HandleEvent(event, nullptr, result);
    }
    any = any || m_queued.load() != 0;
    DrainInvocations();
    {
        std::lock_guard lock(m_repaintLock);
        any = any || (!m_dirtyAgents.empty() && GetPaintHost() != nullptr);
    }
    PaintOrAnimate();
    return any;
}

void SDispatcher::SetUiThread() {
    m_uiThread = std::this_thread::get_id();
}

void SDispatcher::ClearUiThread() {
    m_uiThread = std::thread::id{};
}

bool SDispatcher::IsUiThread() const {
    return m_uiThread.load() == std::this_thread::get_id();
}

void SDispatcher::AssertUiThread() const {
#ifndef NDEBUG
    if (m_uiThread.load() != std::thread::id{} && !IsUiThread()) {
        _Log(LOG_ERROR, "SDispatcher::AssertUiThread", __LINE__,
             "UI work on a thread other than the UI thread");
        std::abort();
    }
#endif
}
