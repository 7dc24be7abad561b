#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/SGUIApp.h"
#include "updater/SMainDialogFrame.h"

namespace updater {

// The update client's application object (in the namespace updater, so a test can link it
// beside the main program's SGUIMain): reads the version and the download address from the
// command line, sets up language and fonts and shows the client's window. One per process.
class SGUIMain : public SGUIApp {
public:
    static constexpr const char* kParameterEmpty = "Parameter empty.";

    explicit SGUIMain(platform::window::Backend& backend);
    ~SGUIMain() override;

    // The arguments come from SCommandLine (main sets them). Returns 1 when the window is up;
    // 0 when the program must end (a missing value: "Parameter empty." was shown).
    int InitInstance() override;
    int ExitInstance() override;

    // The value after key ("/v", "/u") in the arguments, whether each value came as an argument
    // of its own (/v 1.2.3) or all of them in one text (/v "1.2.3" /u "http://…").
    static std::string ReadArgument(const std::vector<std::string>& arguments,
                                    const std::string& key);

    // Tests: another install folder than the program's own, and another writability check.
    void SetInstallFolder(const std::string& folder) { m_installFolder = folder; }
    void SetWritableCheck(std::function<bool(const std::string&)> check) {
        m_isWritable = std::move(check);
    }
    // Whether the installer may replace the copy in folder: the user can write to it and no
    // system package owns it (dpkg's file lists in dpkgInfoFolder name it). A package's files
    // are the package tool's alone, even for root.
    static bool IsFolderWritable(const std::string& folder);
    static bool IsPackageFolder(const std::string& folder, const std::string& dpkgInfoFolder);
    static constexpr const char* kDpkgInfoFolder = "/var/lib/dpkg/info";
    static constexpr const char* kPackageName = "auralis-manager";

    // A stop request (SIGTERM, SIGINT, SIGHUP), on the UI thread: the download is cancelled and
    // its partial file removed, nothing is started, and the process ends with 128 + signal.
    [[noreturn]] void StopOnSignal(int signal);

    const std::string& GetVersion() const { return m_version; }
    const std::string& GetDownloadUrl() const { return m_downLoadUrl; }
    SMainDialogFrame& GetMainWindow() { return m_mainFrame; }

private:
    static void LogPlatformNoOp(const char* what);

    std::string m_version;
    std::string m_downLoadUrl;
    std::string m_installFolder;
    std::function<bool(const std::string&)> m_isWritable = IsFolderWritable;
    SMainDialogFrame m_mainFrame;
};

}  // namespace updater
