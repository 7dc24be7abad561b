#include "app/SUpdater.h"

#include <algorithm>
#include <mutex>

#include "app/SCheckVersionDlg.h"
#include "app/SLastestVersionDlg.h"
#include "app/SNeedUpdateDlg.h"
#include "app/SWindowMainFrame.h"
#include "base/Log.h"
#include "platform/Process.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SSetting.h"
#include "services/SUtil.h"
#include "ui/SDialogFrame.h"
#include "ui/SMessageDialog.h"
#include "ui/SPopupDialog.h"

namespace {

std::mutex g_launcherMutex;
SUpdater::Launcher g_launcher;

constexpr int kResultUpdate = 1;

bool Launch(const std::string& path, const std::vector<std::string>& args) {
    SUpdater::Launcher launcher;
    {
        std::lock_guard<std::mutex> guard(g_launcherMutex);
        launcher = g_launcher;
    }
    return launcher ? launcher(path, args) : platform::process::spawn(path, args);
}

}  // namespace

SUpdater::SUpdater(SWindowFrame* owner, int automatic, int singlePopup, int userRequested,
                   MarkSender markSender)
    : m_owner(owner),
      m_automatic(automatic),
      m_singlePopup(singlePopup),
      m_userRequested(userRequested),
      m_markSender(std::move(markSender)) {}

void SUpdater::SetLauncher(Launcher launcher) {
    std::lock_guard<std::mutex> guard(g_launcherMutex);
    g_launcher = std::move(launcher);
}

int SUpdater::Run(int step) {
    switch (step + 1) {
        case kQuery:
            return QueryAndCompare();
        case kLatest:
            return ShowLatestVersion();
        case kQuestion:
            return AskToUpdate();
        case kSection:
            return CheckUpdateSection();
        case kStartClient:
            return StartUpdateClient();
        default:
            return kStop;
    }
}

void SUpdater::RunStates() {
    while (m_state != 0 && m_state != 1) {
        m_state = (m_state >= 1 && m_state <= 9) ? Run(m_state - 1) : kStop;
    }
}

void SUpdater::SendMark(int available) {
    if (m_markSender) {
        m_markSender(available);
    }
}

void SUpdater::EnableOwner() {
    if (m_owner != nullptr && m_owner->IsWindow() && !m_owner->GetWindow()->isEnabled()) {
        m_owner->EnableWindow(true);
    }
}

// ---------------------------------------------------------------- state 1

int SUpdater::QueryAndCompare() {
    bool closedByUser = false;
    {
        SCheckVersionDlg dialog;
        m_answered = dialog.Run(m_owner, m_automatic, m_singlePopup);
        m_version = dialog.GetVersion();
        m_url = dialog.GetUrl();
        closedByUser = m_automatic == 0 && !m_answered && dialog.WasClosedByUser();
    }
    std::string local = EnvironVar::GetLocalVer();
    std::replace(local.begin(), local.end(), '_', '.');
    _Log(LOG_INFO, "SUpdater::Run", __LINE__, "SUpdater: _localVersion[%s] _version[%s]",
         local.c_str(), m_version.c_str());

    if (!m_answered) {
        // Not knowing is not "up to date": the mark stays as it was, and only the user who
        // asked is told that the server could not be reached.
        if (m_automatic != 0) {
            return kStop;
        }
        if (closedByUser) {
            // Closed before the server replied: quietly back, as the firmware check does.
            EnableOwner();
            return kStop;
        }
        EnableOwner();
        SMessageDialog::Show(m_owner, AfxGetStrRes("MNU_Notify"),
                             AfxGetStrRes("MSG_UpdateCheckFailed"));
        EnableOwner();
        return kStop;
    }
    if (SUtil::CompareVersion(m_version, local) <= 0) {
        SendMark(0);
        return m_automatic != 0 ? kStop : kLatest;
    }
    SendMark(1);
    return (EnvironVar::GetIsNotifyUpdate() != 0 || m_userRequested != 0) ? kSection : kStop;
}

// ---------------------------------------------------------------- state 2

int SUpdater::ShowLatestVersion() {
    SLastestVersionDlg content;
    SPopupDialog popup(&content, 0, "SLastestVersionDlg");
    popup.SetSinglePopup(m_singlePopup);
    popup.DoModalResult(m_owner, AfxGetStrRes("MNU_Notify"), content.CardSize());
    SendMark(0);
    EnableOwner();
    return kStop;
}

// ---------------------------------------------------------------- states 6 and 3

int SUpdater::CheckUpdateSection() {
    return AfxGetSetting()->GetSettingChild("Update") != nullptr ? kQuestion : kStop;
}

int SUpdater::AskToUpdate() {
    SettingChild* section = AfxGetSetting()->GetSettingChild("Update");
    if (section == nullptr) {
        return kStop;
    }
    SNeedUpdateDlg content;
    SPopupDialog popup(&content, 1, "SNeedUpdateDlg");
    popup.SetButtonCaptions(
        {AfxGetStrRes("MNU_Zephiro_Update"), AfxGetStrRes("MNU_Zephiro_Cancel")});
    popup.SetSinglePopup(m_singlePopup);
    const int result = popup.DoModalResult(
        m_owner, SNeedUpdateDlg::Title(EnvironVar::GetLanguage()), content.CardSize());
    EnableOwner();

    if (content.IsReCheckTicked()) {
        EnvironVar::SetIsNotifyUpdate(0);
        section->Update("LastVersion", m_version);
        section->Update("ReCheck", "1");
        if (!AfxGetSetting()->Save()) {
            _Log(LOG_WARNING, "SUpdater::Run", __LINE__, "the settings could not be saved");
        }
    }
    if (result != kResultUpdate) {
        return kStop;
    }
    if (SUtil::IsNetWorkConnectionCheck() == 0) {
        SMessageDialog::Show(m_owner, AfxGetStrRes("MNU_UpdateNetworkErrorTitle"),
                             AfxGetStrRes("MSG_UpdateNetworkErrorDescription"));
        EnableOwner();
        return kStop;
    }
    SDialogFrame::CloseAllDialogs();
    return kStartClient;
}

// ---------------------------------------------------------------- state 8

std::string SUpdater::ClientPath() {
    return EnvironVar::GetInstallPath() + "/" + kClientName;
}

std::vector<std::string> SUpdater::ClientArguments(const std::string& version,
                                                   const std::string& url) {
    // Separate arguments: no shell or command-line quoting stands between us and the client.
    return {"/v", version, "/u", url};
}

int SUpdater::StartUpdateClient() {
    const std::string path = ClientPath();
    const std::vector<std::string> args = ClientArguments(m_version, m_url);
    const std::string parameters = "/v \"" + m_version + "\" /u \"" + m_url + "\"";
    _Log(LOG_INFO, "SUpdater::Run", __LINE__, "ShellExecute = %s %s", path.c_str(),
         parameters.c_str());
    if (!Launch(path, args)) {
        // The program stays: closing it would leave the user with neither it nor an update.
        _Log(LOG_WARNING, "SUpdater::Run", __LINE__, "the update client could not be started");
        SMessageDialog::Show(m_owner, AfxGetStrRes("MNU_Notify"),
                             AfxGetStrRes("MSG_UpdateClientNotStarted"));
        EnableOwner();
        return kStop;
    }
    if (SWindowMainFrame* frame = SWindowMainFrame::GetMainFrame()) {
        frame->PostClose();
    }
    return kStop;
}
