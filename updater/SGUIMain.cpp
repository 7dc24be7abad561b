#include "updater/SGUIMain.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Log.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SSetting.h"
#include "services/SUtil.h"
#include "ui/SCommandLine.h"
#include "ui/SDialogFrame.h"

namespace updater {

SGUIMain::SGUIMain(platform::window::Backend& backend) : SGUIApp(backend) {}

SGUIMain::~SGUIMain() = default;

void SGUIMain::LogPlatformNoOp(const char* what) {
    _Log(LOG_INFO, "SGUIMain::InitInstance", __LINE__, "%s: nothing to do on this platform", what);
}

std::string SGUIMain::ReadArgument(const std::vector<std::string>& arguments,
                                   const std::string& key) {
    std::string value = SUtil::GetArgvValue(arguments, key);
    if (!value.empty()) {
        return value;
    }
    // One text holding the whole command line, as a shell or a launcher may pass it.
    std::string joined;
    for (const std::string& argument : arguments) {
        joined += (joined.empty() ? "" : " ") + argument;
    }
    return SUtil::GetArgvValue(joined, key);
}

bool SGUIMain::IsFolderWritable(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0 &&
           !IsPackageFolder(folder, kDpkgInfoFolder);
}

bool SGUIMain::IsPackageFolder(const std::string& folder, const std::string& dpkgInfoFolder) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path wanted = fs::weakly_canonical(folder, error);
    if (error || wanted.empty()) {
        return false;
    }
    // "auralis-manager.list", or "auralis-manager:amd64.list" on a multi-arch system.
    const std::string plain = std::string(kPackageName) + ".list";
    const std::string qualified = std::string(kPackageName) + ":";
    for (fs::directory_iterator it(dpkgInfoFolder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name != plain && !(name.starts_with(qualified) && name.ends_with(".list"))) {
            continue;
        }
        std::ifstream list(it->path());
        // The folder itself, or the main program in it.
        for (std::string line; std::getline(list, line);) {
            const fs::path listed(line);
            if (!line.empty() && (listed == wanted || listed == wanted / "AuralisManager")) {
                return true;
            }
        }
    }
    return false;
}

void SGUIMain::StopOnSignal(int signal) {
    _Log(LOG_INFO, "SGUIMain::StopOnSignal", __LINE__,
         "signal %d: the download stops and nothing is started", signal);
    m_mainFrame.StopForExit();
    base::log::flush();
    std::_Exit(128 + signal);
}

int SGUIMain::InitInstance() {
    LogPlatformNoOp("InitCommonControlsEx");
    if (SGUIApp::InitInstance() == 0) {
        return 0;
    }
    LogPlatformNoOp("AfxOleInit");
    AfxGetLocale()->SetLocale(EnvironVar::GetLanguage());

    const std::vector<std::string> arguments = SCommandLine::GetArguments();
    m_version = ReadArgument(arguments, "/v");
    m_downLoadUrl = ReadArgument(arguments, "/u");
    _Log(LOG_INFO, "SGUIMain::InitInstance", __LINE__,
         "[AuralisManager] InitInstance: _version[%s] _downLoadUrl[%s]", m_version.c_str(),
         m_downLoadUrl.c_str());
    if (m_version.empty() || m_downLoadUrl.empty()) {
        m_backend.showMessageBox(nullptr, platform::window::MessageBoxKind::Error,
                                 "AuralisManagerUpdateClient", kParameterEmpty);
        return 0;
    }
    SetLanguage(EnvironVar::GetLanguage());
    // The download page the notice offers may come from the settings.
    // Without a private user folder nothing is read or stored (never a shared or root folder).
    if (const std::string userFolder = SUtil::GetUserFolder(); !userFolder.empty()) {
        AfxGetSetting()->Load(userFolder + "/setting.xml", 0);
    } else {
        _Log(LOG_ERROR, "SGUIMain::InitInstance", __LINE__,
             "no private user folder (is HOME set?): settings are not stored");
    }

    UpdateRequest request;
    request.version = m_version;
    request.address = m_downLoadUrl;
    request.installFolder =
        m_installFolder.empty() ? EnvironVar::GetInstallPath() : m_installFolder;
    request.installFolderWritable = m_isWritable(request.installFolder);
    // The installer replaces the copy in this folder (its prefix); still single-threaded here.
    setenv("AURALIS_INSTALL_FOLDER", request.installFolder.c_str(), 1);
    if (!request.installFolderWritable) {
        _Log(LOG_WARNING, "SGUIMain::InitInstance", __LINE__,
             "install folder %s is not writable: update through the package tool",
             request.installFolder.c_str());
    }
    m_mainFrame.SetRequest(request);
    SetMainFrame(&m_mainFrame);
    if (m_mainFrame.CreateMainWindow() == 0) {
        _Log(LOG_WARNING, "SGUIMain::InitInstance", __LINE__, "main window could not be created");
        return 0;
    }
    m_mainFrame.ShowMainWindow();
    m_dispatcher.PaintDirtyAgents();
    return 1;
}

int SGUIMain::ExitInstance() {
    AfxGetLocale()->ExitLocale();
    AfxGetSetting()->ExitSetting();
    SDialogFrame::CloseAllDialogs();
    base::log::flush();
    return SGUIApp::ExitInstance();
}

}  // namespace updater
