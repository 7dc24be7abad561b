#include "app/SGUIMain.h"

#include <cstdio>

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SSetting.h"
#include "services/SUtil.h"
#include "ui/SDialogFrame.h"
#include "ui/SDispatcher.h"

SGUIMain::SGUIMain(platform::window::Backend& backend) : SGUIApp(backend) {}

SGUIMain::~SGUIMain() = default;

void SGUIMain::LogPlatformNoOp(const char* what) {
    _Log(LOG_INFO, "SGUIMain::InitInstance", __LINE__, "%s: nothing to do on this platform", what);
}

int SGUIMain::InitInstance() {
    LogPlatformNoOp("InitCommonControlsEx");
    if (SGUIApp::InitInstance() == 0) {
        return 0;
    }
    LogPlatformNoOp("AfxOleInit");

    AfxGetLocale()->SetLocale(EnvironVar::GetLanguage());
    SetLanguage(EnvironVar::GetLanguage());

    if (!CanOrvelTindraRun()) {
        return 0;
    }

    // A missing or unreadable file leaves the settings at their defaults.
    // Without a private user folder nothing is read or stored (never a shared or root folder).
    if (const std::string userFolder = SUtil::GetUserFolder(); !userFolder.empty()) {
        AfxGetSetting()->Load(userFolder + "/setting.xml", 0);
    } else {
        _Log(LOG_ERROR, "SGUIMain::InitInstance", __LINE__,
             "no private user folder (is HOME set?): settings are not stored");
    }

    SetMainFrame(&m_mainFrame);
    if (m_mainFrame.CreateMainFrame() == 0) {
        _Log(LOG_WARNING, "SGUIMain::InitInstance", __LINE__, "main window could not be created");
        m_startFailed = true;
        return 0;
    }
    LogPlatformNoOp("application icon");
    m_mainFrame.Show();
    // Paint at once, so the first frame does not wait for the loop.
    m_dispatcher.PaintDirtyAgents();
    _Log(LOG_INFO, "SGUIMain::InitInstance", __LINE__, "Main window shown");
    ListenForSecondStart();
    EnableDesktopCompanion();
    return 1;
}

void SGUIMain::EnableDesktopCompanion() {
    platform::window::Backend* backend = &m_backend;
    DesktopCompanion::Actions actions;
    actions.post = [backend](std::function<void()> call) { backend->postCall(std::move(call)); };
    actions.raiseWindow = [this] { ShowMainWindow(); };
    actions.chooseOtherEarbuds = [this] { ChooseOtherEarbuds(); };
    actions.quit = [this] {
        m_mainFrame.GetMainView().GetDesktopCompanion().Disable();
        m_mainFrame.PostClose();
    };
    actions.windowFocused = [this] { return m_mainFrame.IsFocused(); };
    actions.windowHidden = [this] {
        platform::window::Window* window = m_mainFrame.GetWindow();
        return window != nullptr && !window->isVisible();
    };
    m_mainFrame.GetMainView().GetDesktopCompanion().Enable(std::move(actions));
}

void SGUIMain::ShowMainWindow() {
    if (platform::window::Window* window = m_mainFrame.GetWindow()) {
        window->show();
        window->raise();
    }
}

// "Choose other earbuds" from the tray: the pair is let go and the search of the connect
// button starts, with the device list when several pairs are in range. A firmware transfer in
// progress is never cut short for it.
void SGUIMain::ChooseOtherEarbuds() {
    SMainView& view = m_mainFrame.GetMainView();
    if (view.GetDesktopCompanion().IsTransferRunning()) {
        return;
    }
    if (BluetoothHandle* link = view.GetBluetoothHandle()) {
        link->DisConnectToDevice();
    }
    view.GetDesktopCompanion().OnReleased();
    view.OnConnectButtonClick();
}

void SGUIMain::ListenForSecondStart() {
    platform::window::Backend* backend = &m_backend;
    const bool listening = m_secondStart.listen([this, backend] {
        // The knock arrives on the listener's thread; the window belongs to the UI thread.
        backend->postCall([this] { BringMainWindowForward(); });
    });
    if (!listening) {
        _Log(LOG_WARNING, "SGUIMain::ListenForSecondStart", __LINE__,
             "a second start cannot reach this one through %s", m_secondStart.path().c_str());
    }
}

void SGUIMain::BringMainWindowForward() {
    platform::window::Window* window = m_mainFrame.GetWindow();
    if (window == nullptr) {
        return;
    }
    window->show();
    window->raise();
    if (!window->isVisible()) {
        _Log(LOG_WARNING, "SGUIMain::BringMainWindowForward", __LINE__,
             "Second start: the main window cannot be shown");
        return;
    }
    m_secondStart.answerWindowShown();
    _Log(LOG_INFO, "SGUIMain::BringMainWindowForward", __LINE__,
         "Second start: main window brought to the front");
}

bool SGUIMain::CanOrvelTindraRun() {
    using Outcome = platform::SingleInstanceLock::Outcome;
    const Outcome outcome = m_instanceLock.acquire();
    if (outcome == Outcome::Acquired) {
        return true;
    }
    if (outcome == Outcome::Unavailable) {
        // No private folder to hold the lock (no home, no runtime folder): run all the same, as
        // without a user folder nothing is stored; only a second start is not noticed.
        _Log(LOG_WARNING, "SGUIMain::CanOrvelTindraRun", __LINE__,
             "no private folder for the instance lock %s: running without one (a second start "
             "is not detected)",
             m_instanceLock.lockFilePath().c_str());
        return true;
    }
    _Log(LOG_WARNING, "SGUIMain::CanOrvelTindraRun", __LINE__, "AuralisManager aready running");
    using Result = platform::InstanceSignal::KnockResult;
    const Result result =
        platform::InstanceSignal::knockAndWait(m_secondStart.path(), kHandOverWait);
    if (result == Result::WindowShown) {
        _Log(LOG_INFO, "SGUIMain::CanOrvelTindraRun", __LINE__,
             "asked the running instance to bring its window to the front");
        return false;
    }
    // The user started the program and would see nothing: say why, and end with an error.
    const char* why = result == Result::NobodyListens
                          ? "another copy holds the single-instance lock but does not answer"
                          : "the running copy did not show its window within a second";
    _Log(LOG_ERROR, "SGUIMain::CanOrvelTindraRun", __LINE__, "%s (lock %s)", why,
         m_instanceLock.lockFilePath().c_str());
    std::fprintf(stderr, "AuralisManager: %s (lock %s)\n", why,
                 m_instanceLock.lockFilePath().c_str());
    m_startFailed = true;
    return false;
}

int SGUIMain::ExitInstance() {
    m_mainFrame.GetMainView().GetDesktopCompanion().Disable();
    m_secondStart.stop();
    AfxGetLocale()->ExitLocale();
    AfxGetSetting()->ExitSetting();
    SDialogFrame::CloseAllDialogs();
    m_instanceLock.release();
    base::log::flush();
    return SGUIApp::ExitInstance();
}
