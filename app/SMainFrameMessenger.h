#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "app/IStartUpHost.h"
#include "platform/window/WindowTypes.h"

namespace platform::window {
class Backend;
}
class SWindowMainFrame;

// Carries the start-up work list's messages from worker threads to the main window. It lives
// as long as any worker holds it; once the window is gone, posts and sends reach nobody.
class SMainFrameMessenger : public IStartUpHost,
                            public std::enable_shared_from_this<SMainFrameMessenger> {
public:
    // How long a worker waits for the UI thread to answer a sent message.
    static constexpr std::chrono::milliseconds kSendLimit{30000};

    // UI thread, before any worker starts: the main window now exists.
    void Attach(SWindowMainFrame* frame, platform::window::Backend* backend,
                platform::window::WindowId window);
    void Detach();

    bool StartUpWindowExists() const override { return m_window.load() != 0; }
    void PostStartUpMessage(int param) override;
    intptr_t SendStartUpMessage(int param) override;
    std::shared_ptr<SUpdater> CreateUpdateCheck() override;
    void HandOverUpdateCheck(std::shared_ptr<SUpdater> updater) override;
    // Posts a message to the main window (nothing once it is gone). Any thread.
    void PostFrameMessage(int code, intptr_t param);

private:
    platform::window::Backend* m_backend = nullptr;
    std::atomic<platform::window::WindowId> m_window{0};
    SWindowMainFrame* m_frame = nullptr;  // read on the UI thread only
};
