#include "app/SMainFrameMessenger.h"

#include "app/SUpdater.h"
#include "app/SWindowMainFrame.h"
#include "platform/window/Backend.h"
#include "services/EnvironVar.h"

void SMainFrameMessenger::Attach(SWindowMainFrame* frame, platform::window::Backend* backend,
                                 platform::window::WindowId window) {
    m_frame = frame;
    m_backend = backend;
    m_window.store(window);
}

void SMainFrameMessenger::Detach() {
    m_window.store(0);
    m_frame = nullptr;
}

void SMainFrameMessenger::PostStartUpMessage(int param) {
    PostFrameMessage(SWindowMainFrame::kStartUpMessage, static_cast<intptr_t>(param));
}

void SMainFrameMessenger::PostFrameMessage(int code, intptr_t param) {
    const platform::window::WindowId window = m_window.load();
    if (window == 0 || m_backend == nullptr) {
        return;
    }
    platform::window::WindowEvent event;
    event.type = platform::window::WindowEvent::Type::User;
    event.window = window;
    event.code = code;
    event.param = param;
    m_backend->post(std::move(event));
}

std::shared_ptr<SUpdater> SMainFrameMessenger::CreateUpdateCheck() {
    if (m_window.load() == 0) {
        return nullptr;
    }
    // The owner is only used on the UI thread, after the hand-over; the mark travels as a
    // message, ahead of the hand-over in the window's queue.
    std::weak_ptr<SMainFrameMessenger> self = weak_from_this();
    return std::make_shared<SUpdater>(
        SWindowMainFrame::GetMainFrame(), 1, EnvironVar::IsSupportMultiPopup() != 0 ? 0 : 1, 0,
        [self](int available) {
            if (auto messenger = self.lock()) {
                messenger->PostFrameMessage(SWindowMainFrame::kUpdateMarkMessage, available);
            }
        });
}

void SMainFrameMessenger::HandOverUpdateCheck(std::shared_ptr<SUpdater> updater) {
    if (m_window.load() == 0 || m_backend == nullptr || !updater) {
        return;
    }
    std::shared_ptr<SMainFrameMessenger> self = shared_from_this();
    m_backend->postCall([self, updater] {
        if (self->m_frame != nullptr) {
            self->m_frame->OnStartUpMsg(IStartUpHost::kContinueUpdateCheck,
                                        reinterpret_cast<intptr_t>(updater.get()));
        }
    });
}

intptr_t SMainFrameMessenger::SendStartUpMessage(int param) {
    if (m_window.load() == 0 || m_backend == nullptr) {
        return 0;
    }
    intptr_t answer = 0;
    // The call runs on the UI thread, where the window is also destroyed, so the frame is
    // either still there or already detached.
    const bool ran = m_backend->send(
        [this, param, &answer] {
            if (m_frame != nullptr) {
                answer = m_frame->OnStartUpMsg(param, 0);
            }
        },
        kSendLimit);
    return ran ? answer : 0;
}
