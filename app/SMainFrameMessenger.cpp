#include "app/SMainFrameMessenger.h"

#include "app/SWindowMainFrame.h"
#include "platform/window/Backend.h"

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
    const platform::window::WindowId window = m_window.load();
    if (window == 0 || m_backend == nullptr) {
        return;
    }
    platform::window::WindowEvent event;
    event.type = platform::window::WindowEvent::Type::User;
    event.window = window;
    event.code = SWindowMainFrame::kStartUpMessage;
    event.param = static_cast<intptr_t>(param);
    m_backend->post(std::move(event));
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
