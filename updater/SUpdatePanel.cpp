#include "updater/SUpdatePanel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "base/Log.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "services/SLocale.h"
#include "services/SUtil.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SImage.h"
#include "ui/SMessageDialog.h"
#include "ui/TextFlags.h"
#include "updater/InstallerCheck.h"
#include "updater/InstallerFileName.h"
#include "updater/SMainDialogFrame.h"
#include "updater/STesselDownloadDlg.h"

namespace updater {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kWhite = 0x00FFFFFFu;
constexpr uint32_t kTextColour = 0x00222222u;
constexpr uint32_t kVersionColour = 0x00A4774Fu;
constexpr uint32_t kCancelCaption = 0x00C5C5C5u;
constexpr int kFileFont = 113;
constexpr int kTextFont = 112;
constexpr int kCancelFont = 115;
constexpr double kSide = 15;
constexpr double kLabelTop = 40;
constexpr double kLabelBottom = 60;
constexpr double kFileRightInset = 60;
constexpr double kPercentRightInset = 55;
constexpr double kPercentWidth = 40;
constexpr double kVersionTop = 80;
constexpr double kVersionBottom = 130;
constexpr fs::perms kInstallerMode = fs::perms::owner_all;  // 0700

// Message dialog kinds: OK/Cancel asks whether to stop, Yes/No offers the retry.
constexpr int kOkCancel = 1;
constexpr int kYesNo = 4;

int ErrnoOf(const std::error_code& error) {
    return error.value();
}

}  // namespace

std::atomic<SUpdatePanel*> SUpdatePanel::s_instance{nullptr};

SUpdatePanel::SUpdatePanel() = default;

SUpdatePanel::~SUpdatePanel() {
    StopWebApi();
    StopWaitingForInstaller();
    SUpdatePanel* self = this;
    s_instance.compare_exchange_strong(self, nullptr);
}

void SUpdatePanel::SetRequest(const UpdateRequest& request) {
    m_request = request;
    m_fileName = InstallerFileName::FromAddress(request.address);
    const std::string folder = SUtil::GetUserTempFolder();
    if (folder.empty()) {
        // Never a path from an empty folder (that would be the file system's root).
        m_refusedTempFolder = platform::paths::tempFolder().string();
        m_installerPath.clear();
        m_tempPath.clear();
        _Log(LOG_ERROR, "SUpdatePanel::SetRequest", __LINE__,
             "temporary folder %s refused: nothing is downloaded", m_refusedTempFolder.c_str());
    } else {
        m_refusedTempFolder.clear();
        m_installerPath = folder + "/" + m_fileName;
        m_tempPath = m_installerPath + ".temp";
    }
    m_versionLabel = AfxGetStrRes("MSG_Version") + " : " + request.version;
    SetFileLabel(m_fileName);
}

std::string SUpdatePanel::WindowTitle() {
    // Its own text: the button's verb after the product name reads wrongly in most languages.
    return AfxGetStrResFormat("MNU_UpdateQuestionTitle", 1, AfxGetStrRes("MNU_AuralisManager"));
}

std::string SUpdatePanel::GetMainProgramPath() const {
    return m_request.installFolder + "/" + kMainProgram;
}

std::string SUpdatePanel::GetFileLabel() const {
    std::lock_guard lock(m_labelLock);
    return m_fileLabel;
}

void SUpdatePanel::SetFileLabel(const std::string& label) {
    std::lock_guard lock(m_labelLock);
    m_fileLabel = label;
}

// ---- creation and painting ------------------------------------------------------------------

void SUpdatePanel::OnCreate() {
    s_instance.store(this);
    if (!m_loadingImage) {
        m_loadingImage = LoadImage(kImagePath);
    }
    m_progressBar.Create("SCommonProgressBar", this, SMargin(kSide, 60, kSide, -1), SSize(100, 10));
    m_progressBar.SetRange(0, 100);
    m_progressBar.SetPos(0);

    m_cancelButton.Create("Cancel Button", this, SMargin(-1, -1, -1, 10), SSize(124, 31));
    m_cancelButton.SetText(AfxGetStrRes("MNU_Zephiro_Cancel"));
    m_cancelButton.SetFont(kCancelFont);
    m_cancelButton.SetTextColor(kCancelCaption);
    m_cancelButton.SetCornerRadius(12);
    m_cancelButton.SetEnabled(1);
    m_cancelButton.SetDelegate(this);

    m_webApi =
        std::make_unique<SWebApi>([](WEBAPI_DATA* data) { return WebApiCallback(data); }, true);
    m_webApi->SetMaxDownloadBytes(kMaxInstallerBytes);
}

void SUpdatePanel::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.FillRect(own, kWhite);
    const std::string percent = std::to_string(m_percent.load()) + "%";
    // A reader hears the bar by the file it downloads, and the version texts drawn below it.
    m_progressBar.SetAccessibleName(GetFileLabel());
    SetAccessibleName(m_versionLabel);
    dc.DrawText(GetFileLabel(), SRect(kSide, kLabelTop, own.right - kFileRightInset, kLabelBottom),
                DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS | DT_NOPREFIX, kFileFont,
                kTextColour);
    const double percentLeft = own.right - kPercentRightInset;
    dc.DrawText(percent, SRect(percentLeft, kLabelTop, percentLeft + kPercentWidth, kLabelBottom),
                DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX, kTextFont, kTextColour);
    dc.DrawText(m_versionLabel, SRect(kSide, kVersionTop, own.right - kSide, kVersionBottom),
                DT_WORDBREAK | DT_NOPREFIX, kTextFont, kVersionColour);
}

void SUpdatePanel::OnFirstShow() {
    if (!m_request.installFolderWritable) {
        SDispatcher::GetInstance()->Post(this, INVOKE_PACKAGE_NOTICE);
        return;
    }
    if (!m_refusedTempFolder.empty()) {
        SDispatcher::GetInstance()->Post(this, INVOKE_NO_TEMP_FOLDER);
        return;
    }
    std::lock_guard lock(m_lock);
    ChangePhase(PH_DOWNLOAD);
    Invalidate();
}

// ---- the web API's thread -------------------------------------------------------------------

bool SUpdatePanel::WebApiCallback(WEBAPI_DATA* data) {
    SUpdatePanel* panel = s_instance.load();
    if (panel == nullptr) {
        return false;
    }
    std::unique_lock lock(panel->m_lock);
    return panel->OnWebApi(lock, data);
}

bool SUpdatePanel::OnWebApi(std::unique_lock<std::recursive_mutex>& lock, const WEBAPI_DATA* data) {
    if (m_cancelled.load() != 0) {
        ChangePhase(PH_STOP);
        return false;
    }
    if (data == nullptr) {
        return false;
    }
    switch (data->type) {
        case WRT_PROGRESS: {
            if (data->progress == nullptr) {
                return true;
            }
            const std::uint32_t length = static_cast<std::uint32_t>(data->progress->curLength);
            if (data->progress->totalLength > 0) {
                m_announcedLength.store(data->progress->totalLength);
            }
            SetFileLabel(m_fileName + " (" + SUtil::GetFileLengthString(length) + "/" +
                         AfxGetStrRes("MNU_Second2") + ")");
            m_percent.store(std::clamp(data->progress->percent, 0, 100));
            PostProgress();
            return true;
        }
        case WRT_DOWNLOAD_COMPLETED:
            SetFileLabel(m_fileName);
            m_percent.store(100);
            PostProgress();
            ChangePhase(PH_INSTALL);
            return true;
        case WRT_ERROR:
            // A connection that could not be made or broke off is retried, as before the web
            // requests told the two apart.
            if (data->error == WEBAPI_ERROR_NETWORK || data->error == WEBAPI_ERROR_INTERRUPTED) {
                return OnNetworkError(lock);
            }
            return OnOtherError(lock, data);
        default:
            return false;
    }
}

bool SUpdatePanel::OnNetworkError(std::unique_lock<std::recursive_mutex>& lock) {
    if (m_retryCount.load() < kNetworkRetries) {
        const int count = ++m_retryCount;
        // The pause lets go of the lock: the user may cancel meanwhile.
        lock.unlock();
        std::this_thread::sleep_for(kRetryPauses[count - 1]);
        lock.lock();
        if (m_cancelled.load() != 0) {
            return false;
        }
        _Log(LOG_INFO, "SUpdatePanel::WebApiCallback", __LINE__, "Internet connection try count=%d",
             count);
        if (m_owner != nullptr) {
            m_owner->PostUpdateMessage(SMainDialogFrame::kActionRestart, 0);
        }
        return true;
    }
    // The lock is let go while the user reads the notice: the cancel button takes it on the UI
    // thread, which is the thread that shows the notice.
    lock.unlock();
    if (m_owner != nullptr) {
        m_owner->SendUpdateMessage(SMainDialogFrame::kActionNotice, 0);
    }
    lock.lock();
    // Whatever the answer, the user keeps the program they had.
    m_phase.store(PH_STOP);
    StartMainProgram("SUpdatePanel::ChangePhase");
    PostClose();
    return false;
}

bool SUpdatePanel::OnOtherError(std::unique_lock<std::recursive_mutex>& lock,
                                const WEBAPI_DATA* data) {
    _Log(LOG_WARNING, "SUpdatePanel::WebApiCallback", __LINE__, "download failed: error %d (%u)",
         data->error, data->detail);
    lock.unlock();
    const intptr_t retry = m_owner != nullptr ? m_owner->SendUpdateMessage(
                                                    SMainDialogFrame::kActionFailure, data->detail)
                                              : 0;
    lock.lock();
    m_retryChosen.store(retry != 0 ? 1 : 0);
    if (m_retryChosen.load() != 0 && m_cancelled.load() == 0) {
        m_owner->PostUpdateMessage(SMainDialogFrame::kActionRestart, 0);
        return true;
    }
    ChangePhase(PH_STOP);
    return false;
}

// ---- phases ---------------------------------------------------------------------------------

void SUpdatePanel::ChangePhase(int phase) {
    m_phase.store(phase);
    switch (phase) {
        case PH_DOWNLOAD:
            m_cancelled.store(0);
            StartDownload();
            break;
        case PH_INSTALL:
            Install();
            break;
        case PH_STOP:
            StopAndClose("SUpdatePanel::ChangePhase");
            break;
        default:
            PostProgress();
            break;
    }
}

void SUpdatePanel::StartDownload() {
    m_announcedLength.store(0);
    if (m_webApi && !m_tempPath.empty()) {
        m_webApi->GetDownLoad(m_request.address, m_tempPath);
    }
}

void SUpdatePanel::Install() {
    const char* method = "SUpdatePanel::ChangePhase";
    if (StartInstaller(method)) {
        StopWaitingForInstaller();
        m_stopWaiting.store(false);
        m_installerWaiter = std::thread([this] { WaitForInstaller(); });
    }
}

bool SUpdatePanel::StartInstaller(const char* method) {
    std::error_code error;
    const InstallerCheck::Verdict verdict =
        InstallerCheck::Check(m_tempPath, m_announcedLength.load());
    if (verdict != InstallerCheck::Verdict::Ok) {
        _Log(LOG_WARNING, method, __LINE__, "downloaded installer refused: %s (%s)",
             InstallerCheck::Describe(verdict), m_tempPath.c_str());
        fs::remove(m_tempPath, error);
        ReportInstallFailure(kInstallerDamaged);
        return false;
    }
    // remove() never follows a link: whatever sits at the installer's name goes, not its target.
    if (fs::symlink_status(m_installerPath, error).type() != fs::file_type::not_found) {
        if (!fs::remove(m_installerPath, error) || error) {
            _Log(LOG_WARNING, method, __LINE__, "[%s] DeleteFile fail - (%d)%s", method,
                 ErrnoOf(error), m_installerPath.c_str());
            fs::remove(m_tempPath, error);
            ReportInstallFailure(kInstallerFailed);
            return false;
        }
    }
    fs::rename(m_tempPath, m_installerPath, error);
    if (error) {
        _Log(LOG_WARNING, method, __LINE__, "[%s] MoveFile fail - (%d)%s", method, ErrnoOf(error),
             m_installerPath.c_str());
        fs::remove(m_tempPath, error);
        ReportInstallFailure(kInstallerFailed);
        return false;
    }
    fs::permissions(m_installerPath, kInstallerMode, fs::perm_options::replace, error);
    if (error) {
        _Log(LOG_WARNING, method, __LINE__, "[%s] chmod fail - (%d)%s", method, ErrnoOf(error),
             m_installerPath.c_str());
        fs::remove(m_installerPath, error);
        ReportInstallFailure(kInstallerFailed);
        return false;
    }
    _Log(LOG_INFO, method, __LINE__, "[%s] ShellExecute = %s", method, m_installerPath.c_str());
    const int started = m_installer.Start(m_installerPath, {kInstallerArgument});
    if (started != 0) {
        _Log(LOG_WARNING, method, __LINE__, "installer could not be started (%d: %s): %s", started,
             std::strerror(started), m_installerPath.c_str());
        // What cannot run is of no use to anyone: it goes.
        fs::remove(m_installerPath, error);
        ReportInstallFailure(started == ENOEXEC ? kInstallerDamaged : kInstallerFailed);
        return false;
    }
    return true;
}

void SUpdatePanel::WaitForInstaller() {
    const int status = m_installer.Wait(kInstallerWait, m_stopWaiting);
    if (m_stopWaiting.load()) {
        return;
    }
    if (status == InstallerProcess::kStillRunning) {
        _Log(LOG_WARNING, "SUpdatePanel::WaitForInstaller", __LINE__,
             "the installer still runs; the client closes and leaves it to finish");
        PostClose();
        return;
    }
    if (status != 0) {
        _Log(LOG_WARNING, "SUpdatePanel::WaitForInstaller", __LINE__,
             "the installer ended with status %d", status);
        ReportInstallFailure(kInstallerFailed);
        return;
    }
    _Log(LOG_INFO, "SUpdatePanel::WaitForInstaller", __LINE__, "the installer finished");
    PostClose();
}

void SUpdatePanel::StopWaitingForInstaller() {
    m_stopWaiting.store(true);
    if (m_installerWaiter.joinable() && m_installerWaiter.get_id() != std::this_thread::get_id()) {
        m_installerWaiter.join();
    }
}

void SUpdatePanel::ReportInstallFailure(int why) {
    if (m_owner != nullptr) {
        m_owner->PostUpdateMessage(SMainDialogFrame::kActionInstallFailed, why);
    } else {
        StartMainProgram("SUpdatePanel::ChangePhase");
        PostClose();
    }
}

void SUpdatePanel::StopAndClose(const char* method) {
    if (m_percent.load() != 100) {
        StartMainProgram(method);
    }
    PostClose();
}

void SUpdatePanel::StartMainProgram(const char* method) {
    if (m_mainProgramStarted.exchange(true)) {
        return;
    }
    const std::string program = GetMainProgramPath();
    _Log(LOG_INFO, method, __LINE__, "[%s] ShellExecute = %s", method, program.c_str());
    if (!platform::process::spawn(program, {})) {
        _Log(LOG_WARNING, method, __LINE__, "main program could not be started: %s",
             program.c_str());
    }
}

void SUpdatePanel::PostClose() {
    SDispatcher::GetInstance()->Post(this, INVOKE_CLIENT_CLOSE);
}

void SUpdatePanel::PostProgress() {
    // One record at a time is enough: the UI thread reads the newest values when it runs.
    if (!m_progressPending.exchange(true)) {
        SDispatcher::GetInstance()->Post(this, INVOKE_SHOW_PROGRESS);
    }
}

// ---- the UI thread --------------------------------------------------------------------------

bool SUpdatePanel::AskRetryAfterFailure() {
    const int result = SMessageDialog::Show(
        m_owner, WindowTitle(), AfxGetStrRes("MSG_Kestrane_UpdateFail"), kYesNo,
        {AfxGetStrRes("PCS_RES0080"), AfxGetStrRes("MNU_Zephiro_Cancel")});
    return result == kResultRetry;
}

void SUpdatePanel::RestartDownload() {
    // A cancel that came in meanwhile has already closed the window.
    std::lock_guard lock(m_lock);
    if (m_cancelled.load() != 0) {
        return;
    }
    ChangePhase(PH_DOWNLOAD);
    Invalidate();
}

void SUpdatePanel::ShowNetworkNotice() {
    STesselDownloadDlg::Show(m_owner, WindowTitle());
}

void SUpdatePanel::ShowInstallFailure(int why) {
    const char* key =
        why == kInstallerDamaged ? "MSG_Zephiro_InstallerDamaged" : "MSG_Zephiro_InstallerFailed";
    SMessageDialog::Show(m_owner, WindowTitle(), AfxGetStrRes(key), 0);
    std::lock_guard lock(m_lock);
    m_phase.store(PH_STOP);
    StartMainProgram("SUpdatePanel::ChangePhase");
    PostClose();
}

void SUpdatePanel::ShowNoTempFolder() {
    SMessageDialog::Show(m_owner, WindowTitle(),
                         AfxGetStrResFormat("MSG_Zephiro_NoTempFolder", 1, m_refusedTempFolder), 0);
    std::lock_guard lock(m_lock);
    ChangePhase(PH_STOP);
}

void SUpdatePanel::ShowPackageNotice() {
    SMessageDialog::Show(m_owner, WindowTitle(), AfxGetStrRes("MSG_Zephiro_UpdateByPackage"), 0);
    std::lock_guard lock(m_lock);
    ChangePhase(PH_STOP);
}

void SUpdatePanel::StopWebApi() {
    std::unique_ptr<SWebApi> api;
    {
        // Taken out under the lock, destroyed outside it: a callback that waits for the lock
        // must be able to finish for the web API's threads to end.
        std::lock_guard lock(m_lock);
        api = std::move(m_webApi);
    }
    api.reset();
    StopWaitingForInstaller();
}

void SUpdatePanel::RequestCancel() {
    if (m_cancelButton.GetOwnEnabled() != 0) {
        OnCancelButton();
    }
}

void SUpdatePanel::ButtonClicked(SButton* button) {
    if (button == &m_cancelButton) {
        OnCancelButton();
    }
}

void SUpdatePanel::OnCancelButton() {
    std::lock_guard lock(m_lock);
    if (m_cancelled.load() != 0) {
        return;
    }
    const int result =
        SMessageDialog::Show(m_owner, WindowTitle(), AfxGetStrRes("MUA_UpdateCancelQ"), kOkCancel);
    if (result != kResultOk) {
        return;
    }
    m_phase.store(PH_STOP);
    StopAndClose("SUpdatePanel::ChangePhase");
    m_cancelButton.SetEnabled(0);
    m_cancelled.store(1);
}

void SUpdatePanel::Dispatcher_Invoked(SInvokeArgument* argument) {
    if (argument == nullptr) {
        return;
    }
    switch (argument->id) {
        case INVOKE_CLIENT_CLOSE:
            if (m_owner != nullptr) {
                m_owner->CloseDialog(1);
            }
            break;
        case INVOKE_SHOW_PROGRESS:
            m_progressPending.store(false);
            m_progressBar.SetPos(m_percent.load());
            Invalidate();
            break;
        case INVOKE_PACKAGE_NOTICE:
            ShowPackageNotice();
            break;
        case INVOKE_NO_TEMP_FOLDER:
            ShowNoTempFolder();
            break;
        default:
            break;
    }
}

}  // namespace updater
