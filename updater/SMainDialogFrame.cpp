#include "updater/SMainDialogFrame.h"

#include <cmath>
#include <condition_variable>
#include <thread>

#include "base/Log.h"
#include "ui/SDispatcher.h"

namespace updater {

struct SMainDialogFrame::PendingSend {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    intptr_t answer = 0;

    void finish(intptr_t value) {
        {
            std::lock_guard lock(mutex);
            if (finished) {
                return;
            }
            finished = true;
            answer = value;
        }
        done.notify_all();
    }
};

SMainDialogFrame::SMainDialogFrame() = default;

SMainDialogFrame::~SMainDialogFrame() {
    ReleaseSenders();
    m_panel.StopWebApi();
    Destroy();
}

int SMainDialogFrame::CreateMainWindow() {
    if (IsWindow()) {
        return 1;
    }
    const std::string title = SUpdatePanel::WindowTitle();
    SetTitle(title);
    m_panel.SetOwnerFrame(this);
    const double zoom = SDispatcher::GetZoomFactor();
    SFrameOptions options;
    options.title = title;
    // Unlike a modal dialog, the client's window is a program window of its own: it stays in
    // the task bar.
    options.style = platform::window::kStyleBorderless;
    options.rect = SRect::FromSize(0, 0, static_cast<int>(std::ceil((kWidth + 2 * kShadow) * zoom)),
                                   static_cast<int>(std::ceil((kHeight + 2 * kShadow) * zoom)));
    options.centered = true;
    {
        std::lock_guard lock(m_sendLock);
        m_gone = false;
        m_alive = std::make_shared<int>(0);
    }
    m_uiThread = std::this_thread::get_id();
    return Create(options);
}

void SMainDialogFrame::ShowMainWindow() {
    m_panel.SetVisible(1);
    ShowDialog();
}

void SMainDialogFrame::OnCreateContent() {
    // The user leaves only through the panel's cancel button.
    GetTitleBar().GetCloseButton().SetVisible(0);
    GetContentArea().SetBackgroundColor(kContentBackground);
    // Made hidden: showing it with the window is its first show, which starts the download.
    m_panel.Create("update Panel", &GetContentArea(), SMargin(0, 0, 0, 0), SSize(), 0);
}

void SMainDialogFrame::OnClose() {
    if (IsClosing() != 0) {
        SDialogFrame::OnClose();
        return;
    }
    // Only while no dialog of ours is open: the question would stack on top of another one.
    if (GetOpenDialogs().size() == 1) {
        m_panel.RequestCancel();
    }
}

void SMainDialogFrame::OnDestroy() {
    ReleaseSenders();
    // No callback may run once the window is gone; the web API's threads end here.
    m_panel.StopWebApi();
    SDialogFrame::OnDestroy();
}

void SMainDialogFrame::StopForExit() {
    m_panel.PrepareForExit();
    ReleaseSenders();
    m_panel.StopWebApi();
}

void SMainDialogFrame::ReleaseSenders() {
    std::vector<std::shared_ptr<PendingSend>> pending;
    {
        std::lock_guard lock(m_sendLock);
        m_gone = true;
        m_alive.reset();
        pending.swap(m_pending);
    }
    for (const auto& send : pending) {
        send->finish(0);
    }
}

intptr_t SMainDialogFrame::SendUpdateMessage(int action, intptr_t value) {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr) {
        return 0;
    }
    if (std::this_thread::get_id() == m_uiThread) {
        return OnUpdateMessage(action, value);
    }
    auto send = std::make_shared<PendingSend>();
    std::weak_ptr<int> alive;
    {
        std::lock_guard lock(m_sendLock);
        if (m_gone) {
            return 0;
        }
        m_pending.push_back(send);
        alive = m_alive;
    }
    dispatcher->GetBackend().postCall([this, alive, send, action, value] {
        if (alive.expired()) {
            send->finish(0);
            return;
        }
        send->finish(OnUpdateMessage(action, value));
    });
    std::unique_lock lock(send->mutex);
    send->done.wait(lock, [&] { return send->finished; });
    const intptr_t answer = send->answer;
    lock.unlock();
    std::lock_guard pendingLock(m_sendLock);
    std::erase(m_pending, send);
    return answer;
}

void SMainDialogFrame::PostUpdateMessage(int action, intptr_t value) {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr) {
        return;
    }
    std::weak_ptr<int> alive;
    {
        std::lock_guard lock(m_sendLock);
        alive = m_alive;
    }
    dispatcher->GetBackend().postCall([this, alive, action, value] {
        if (!alive.expired()) {
            OnUpdateMessage(action, value);
        }
    });
}

intptr_t SMainDialogFrame::OnUpdateMessage(int action, intptr_t value) {
    _Log(LOG_INFO, "SMainDialogFrame::OnUpdateMessage", __LINE__, "0x%04X action %d value %ld",
         kUpdateMessage, action, static_cast<long>(value));
    switch (action) {
        case kActionFailure:
            return m_panel.AskRetryAfterFailure() ? 1 : 0;
        case kActionRestart:
            m_panel.RestartDownload();
            return 0;
        case kActionNotice:
            m_panel.ShowNetworkNotice();
            return 0;
        case kActionInstallFailed:
            m_panel.ShowInstallFailure(static_cast<int>(value));
            return 0;
        default:
            return 0;
    }
}

}  // namespace updater
