#pragma once

#include <cstdint>
#include <memory>

class SUpdater;

// How the start-up work list reaches the main window from its worker threads. Implemented by
// SWindowMainFrame; every operation is safe from any thread.
class IStartUpHost {
public:
    // Parameters of the start-up message.
    static constexpr int kContinueUpdateCheck = 0;
    static constexpr int kAskUi = 2;
    static constexpr int kNextWork = 3;

    // Whether the main window still exists.
    virtual bool StartUpWindowExists() const = 0;
    // Queues the start-up message for the UI thread.
    virtual void PostStartUpMessage(int param) = 0;
    // Delivers the start-up message on the UI thread and waits for its answer; 0 when the window
    // went away before it answered.
    virtual intptr_t SendStartUpMessage(int param) = 0;

    // The application update check of the start-up list: a new automatic check, or null when
    // this host has none.
    virtual std::shared_ptr<SUpdater> CreateUpdateCheck() { return nullptr; }
    // Hands the check, its first step done, to the UI thread (the start-up message with
    // parameter 0), ahead of anything posted afterwards.
    virtual void HandOverUpdateCheck(std::shared_ptr<SUpdater> updater) { (void)updater; }

    virtual ~IStartUpHost() = default;
};
