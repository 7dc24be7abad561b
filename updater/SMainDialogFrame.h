#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/SDialogFrame.h"
#include "updater/SUpdatePanel.h"

namespace updater {

// The client's window: a dialog frame without a close button, titled "<program> Update", whose
// content is the update panel ("update Panel").
//
// The update message (kUpdateMessage) carries the panel's requests from the web API's thread to
// the UI thread: SendUpdateMessage waits for the UI thread's answer (the failure message, the
// notice), PostUpdateMessage does not (the restart). A sender never waits past the window's
// end: when the window goes, every waiting sender is released with 0.
class SMainDialogFrame : public SDialogFrame {
public:
    static constexpr int kUpdateMessage = 0x0464;
    enum : int { kActionFailure = 1, kActionRestart = 2, kActionNotice = 4 };
    // Our own: the installation did not happen (value: the panel's reason).
    enum : int { kActionInstallFailed = 5 };
    static constexpr double kWidth = 400;
    static constexpr double kHeight = 180;
    static constexpr uint32_t kContentBackground = 0x00EBEBEBu;

    SMainDialogFrame();
    ~SMainDialogFrame() override;

    // Before CreateMainWindow.
    void SetRequest(const UpdateRequest& request) { m_panel.SetRequest(request); }
    // Creates the window (hidden), centred on the screen. Returns 1 on success.
    int CreateMainWindow();
    // Shows the window with its opening zoom; the panel's first show starts the download.
    void ShowMainWindow();

    SUpdatePanel& GetUpdatePanel() { return m_panel; }

    // Any thread. Send: the answer of the action (1 when the user chose to retry); 0 when the
    // window went first.
    intptr_t SendUpdateMessage(int action, intptr_t value);
    void PostUpdateMessage(int action, intptr_t value);

    void OnCreateContent() override;
    void OnDestroy() override;
    // The process is about to end: answers what waits for the UI thread, stops the download
    // (its partial file goes) and starts nothing more.
    void StopForExit();
    // A close request from the desktop (the window manager's close, Alt+F4) is the user's
    // cancel: it asks the cancel question instead of dropping the download silently.
    void OnClose() override;

private:
    struct PendingSend;
    // UI thread: the action itself.
    intptr_t OnUpdateMessage(int action, intptr_t value);
    void ReleaseSenders();

    SUpdatePanel m_panel;
    // Lives while the window does; posted work checks it on the UI thread before it runs.
    // Guarded, with the list of waiting senders, by m_sendLock.
    std::shared_ptr<int> m_alive;
    std::mutex m_sendLock;
    std::vector<std::shared_ptr<PendingSend>> m_pending;
    bool m_gone = false;
    std::thread::id m_uiThread;
};

}  // namespace updater
