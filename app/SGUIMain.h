#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "app/SWindowMainFrame.h"
#include "platform/InstanceSignal.h"
#include "platform/SingleInstanceLock.h"
#include "ui/SGUIApp.h"

class BluetoothHandle;

// The main program's application object: start-up (language, the single-instance lock, the
// settings file, the main window) and shutdown. One per process, made by main() once the window
// system is up; it owns the dispatcher (through SGUIApp) and the main frame.
class SGUIMain : public SGUIApp {
public:
    static constexpr const char* kInstanceLockName = "AuralisMutex";
    // How long a second start waits for the running copy to show its window.
    static constexpr std::chrono::milliseconds kHandOverWait{1000};

    // The program's arguments are SCommandLine's (main sets them).
    explicit SGUIMain(platform::window::Backend& backend);
    ~SGUIMain() override;

    // Returns 1 when the main window is up; 0 when the program must end without a window (a
    // second instance, a window that could not be made).
    int InitInstance() override;
    int ExitInstance() override;

    // After InitInstance returned 0: true when the start failed in a way the user must hear of
    // (the program ends with an error), false for a second start the running copy answered.
    bool StartFailed() const { return m_startFailed; }

    SWindowMainFrame& GetMainWindow() { return m_mainFrame; }
    // The link the connection controller drives (tests); the process-wide one otherwise.
    void SetBluetoothHandle(BluetoothHandle* link) {
        m_mainFrame.GetMainView().SetBluetoothHandle(link);
    }

private:
    // Takes the single-instance lock; false (with its log line) when another instance runs.
    bool CanOrvelTindraRun();
    // Listens for a second start's knock and answers it by bringing the main window forward.
    void ListenForSecondStart();
    void BringMainWindowForward();
    // The tray item and notices, with what they may ask of the window.
    void EnableDesktopCompanion();
    void ShowMainWindow();
    void ChooseOtherEarbuds();
    static void LogPlatformNoOp(const char* what);

    platform::SingleInstanceLock m_instanceLock{kInstanceLockName};
    // Beside the lock file: "AuralisMutex.raise".
    platform::InstanceSignal m_secondStart{m_instanceLock.lockFilePath().string() + ".raise"};
    SWindowMainFrame m_mainFrame;
    bool m_startFailed = false;
};
