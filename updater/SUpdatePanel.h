#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "services/SWebApi.h"
#include "services/WebApiData.h"
#include "ui/IButtonDelegate.h"
#include "ui/IDispatcherInvokeDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SCommonProgressBar.h"
#include "ui/SWindowBase.h"
#include "updater/InstallerProcess.h"

class SImage;

namespace updater {

class SMainDialogFrame;

// What the client is asked to do: set by the application object before the panel is made.
struct UpdateRequest {
    std::string version;
    std::string address;
    // The folder the installer installs into and the main program is restarted from.
    std::string installFolder;
    // False for a system-wide install the user cannot write to: the client then explains how
    // to update through the system's package tool instead of downloading.
    bool installFolderWritable = true;
};

// The client's one panel: downloads the installer into the temporary folder with progress,
// lets the user cancel, retries a lost network three times per run, and in the end runs the
// installer or restarts the main program.
//
// Threads: the web API's callbacks (WebApiCallback) run on its worker thread under the panel's
// lock, which the cancel button also takes; dialogs reach the UI thread through the main
// window's update message (SMainDialogFrame); widgets are only touched on the UI thread (the
// callback posts INVOKE_SHOW_PROGRESS). The file work and the start of the installer or the
// main program run on whichever thread changes the phase.
class SUpdatePanel : public SWindowBase, public IButtonDelegate, public IDispatcherInvokeDelegate {
public:
    enum : int {
        INVOKE_CLIENT_CLOSE = 2222,
        // Our own: progress reached the UI thread; the install folder is not writable.
        INVOKE_SHOW_PROGRESS = 2223,
        INVOKE_PACKAGE_NOTICE = 2224,
        // The temporary folder is refused: nothing can be downloaded.
        INVOKE_NO_TEMP_FOLDER = 2225,
    };
    // Why an installation did not happen, as the update message's value.
    enum : int { kInstallerDamaged = 1, kInstallerFailed = 2 };
    enum : int { PH_DOWNLOAD = 1, PH_INSTALL = 2, PH_STOP = 3 };
    static constexpr int kNetworkRetries = 3;
    static constexpr int kResultRetry = 6;
    static constexpr int kResultOk = 1;
    // Pauses before the network retries, growing so that a short outage can pass: 3.5 s in all.
    static constexpr std::chrono::milliseconds kRetryPauses[kNetworkRetries] = {
        std::chrono::milliseconds(500), std::chrono::milliseconds(1000),
        std::chrono::milliseconds(2000)};
    // The largest installer accepted. Today's self-extracting installer is about 3 MB (9 MB
    // unpacked); twenty times that leaves room for growth, while a server that sends without
    // end cannot fill the user's disk.
    static constexpr std::uint64_t kMaxInstallerBytes = 64ull * 1024 * 1024;
    // How long the client waits for the installer before it closes regardless (the installer
    // goes on without it).
    static constexpr std::chrono::minutes kInstallerWait{10};
    // The one argument the installer is run with, quotes included.
    static constexpr const char* kInstallerArgument = "/z\"liveupdate\"";
    static constexpr const char* kMainProgram = "AuralisManager";
    static constexpr const char* kImagePath = "\\res\\imgLoadingSmall.png";

    SUpdatePanel();
    ~SUpdatePanel() override;

    const char* GetClassName() const override { return "SUpdatePanel"; }

    // Before Create.
    void SetRequest(const UpdateRequest& request);
    void SetOwnerFrame(SMainDialogFrame* frame) { m_owner = frame; }

    // The static callback given to the web API; reaches the one panel of the process.
    static bool WebApiCallback(WEBAPI_DATA* data);
    // Stores the phase, then acts on it (download, install, stop).
    void ChangePhase(int phase);

    // UI thread, for the main window's update message: the failure message (returns whether
    // the user chose to retry), the restart of the download, the network notice.
    bool AskRetryAfterFailure();
    void RestartDownload();
    void ShowNetworkNotice();
    // The installation did not happen (kInstallerDamaged or kInstallerFailed): says so, then
    // starts the old program again and closes.
    void ShowInstallFailure(int why);

    // UI thread: what the cancel button does (asks first), while the button is enabled.
    void RequestCancel();

    // UI thread, when the window goes: no callback runs once this returns, and the client no
    // longer waits for a running installer.
    void StopWebApi();
    // Nothing is started from now on (the process is ending).
    void PrepareForExit() { m_mainProgramStarted.store(true); }

    // ---- state, for the window's paint and for tests
    int GetPercent() const { return m_percent.load(); }
    int GetPhase() const { return m_phase.load(); }
    int IsCancelled() const { return m_cancelled.load(); }
    int GetRetryCount() const { return m_retryCount.load(); }
    std::string GetFileLabel() const;
    const std::string& GetVersionLabel() const { return m_versionLabel; }
    const std::string& GetFileName() const { return m_fileName; }
    const std::string& GetTempPath() const { return m_tempPath; }
    const std::string& GetInstallerPath() const { return m_installerPath; }
    std::string GetMainProgramPath() const;
    SCommonButton& GetCancelButton() { return m_cancelButton; }
    SCommonProgressBar& GetProgressBar() { return m_progressBar; }
    static std::string WindowTitle();

    // ---- SWindowBase
    void OnCreate() override;
    void OnPaint(SDC& dc) override;
    void OnFirstShow() override;

    // ---- IButtonDelegate
    void ButtonClicked(SButton* button) override;

    // ---- IDispatcherInvokeDelegate
    void Dispatcher_Invoked(SInvokeArgument* argument) override;

private:
    bool OnWebApi(std::unique_lock<std::recursive_mutex>& lock, const WEBAPI_DATA* data);
    bool OnNetworkError(std::unique_lock<std::recursive_mutex>& lock);
    bool OnOtherError(std::unique_lock<std::recursive_mutex>& lock, const WEBAPI_DATA* data);
    void StartDownload();
    void Install();
    // Starts the main program unless the download reached 100 %, then closes the window.
    void StopAndClose(const char* method);
    void StartMainProgram(const char* method);
    void PostClose();
    void PostProgress();
    void SetFileLabel(const std::string& label);
    void OnCancelButton();
    void ShowPackageNotice();
    void ShowNoTempFolder();
    // Worker thread: checks the download, puts it in place and starts it. False after a
    // failure that was reported to the user.
    bool StartInstaller(const char* method);
    void ReportInstallFailure(int why);
    void WaitForInstaller();
    void StopWaitingForInstaller();

    static std::atomic<SUpdatePanel*> s_instance;

    UpdateRequest m_request;
    std::string m_fileName;
    std::string m_tempPath;
    std::string m_installerPath;
    std::string m_versionLabel;
    // The temporary folder that was refused, when it was; no download path exists then.
    std::string m_refusedTempFolder;

    SCommonProgressBar m_progressBar;
    SCommonButton m_cancelButton;
    std::unique_ptr<SImage> m_loadingImage;
    SMainDialogFrame* m_owner = nullptr;

    mutable std::mutex m_labelLock;
    std::string m_fileLabel;

    std::atomic<int> m_percent{0};
    std::atomic<int> m_phase{0};
    std::atomic<int> m_cancelled{0};
    std::atomic<int> m_retryChosen{0};
    std::atomic<int> m_retryCount{0};
    std::atomic<bool> m_progressPending{false};
    // The length the server announced for the running download; 0 when it gave none.
    std::atomic<std::uint64_t> m_announcedLength{0};
    // A callback that arrives after a cancel stops again; the main program starts once.
    std::atomic<bool> m_mainProgramStarted{false};

    // Serialises the web callbacks against the cancel button. Recursive: the cancel question's
    // nested loop on the UI thread may deliver a restart, which takes it again.
    std::recursive_mutex m_lock;
    std::unique_ptr<SWebApi> m_webApi;

    InstallerProcess m_installer;
    std::thread m_installerWaiter;
    std::atomic<bool> m_stopWaiting{false};
};

}  // namespace updater
