#include "tests/updater/UpdateClientHarness.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/Log.h"
#include "ui/SCommandLine.h"
#include "ui/SPopupDialog.h"
#include "updater/SGUIMain.h"

namespace updater_test {
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

constexpr auto kRunLimit = std::chrono::seconds(60);
constexpr auto kStepInterval = std::chrono::milliseconds(10);

}  // namespace

UpdateClientHarness::UpdateClientHarness()
    : m_sim(std::make_unique<integration::SimNeighbourhood>(nlohmann::json::array(),
                                                            nlohmann::json::object())),
      m_install(testing_support::makeTempFolder("install")) {
    const fs::path program = m_install / "AuralisManager";
    // Each start records the version it was told to report and the virtual earbuds it got.
    std::ofstream(program) << "#!/bin/sh\necho \"started $* as ${AURALIS_LOCAL_VERSION:-} "
                              "with ${AURALIS_SIM_SOCKET:-}\" >> \""
                           << (m_install / "main.log").string() << "\"\n";
    fs::permissions(program, fs::perms::owner_all);
    m_installLogEnv = std::make_unique<testing_support::ScopedEnv>(
        "AURALIS_SIM_INSTALL_LOG", (m_install / "installer.log").string());
    // Every run starts from an empty temporary folder, except what a test puts there.
    for (const auto& entry : fs::directory_iterator(tempFolder())) {
        fs::remove_all(entry.path());
    }
}

UpdateClientHarness::~UpdateClientHarness() {
    m_app.reset();
    m_backend.reset();
}

std::string UpdateClientHarness::installerAddress(const std::string& version) const {
    return m_sim->updateUrl() + "/app/download/LumoraAuralisManagerSetup-" + version + ".sh";
}

fs::path UpdateClientHarness::tempFolder() const {
    const char* folder = std::getenv("AURALIS_TEMP_DIR");
    return folder != nullptr ? fs::path(folder) : fs::path();
}

int UpdateClientHarness::run(const std::vector<std::string>& arguments, const Step& step,
                             bool installFolderWritable) {
    base::log::flush();
    std::error_code error;
    m_logStart = fs::file_size(base::log::currentFile(), error);
    if (error) {
        m_logStart = 0;
    }
    // One application (and dispatcher) per process at a time.
    m_app.reset();
    m_backend.reset();
    m_timedOut = false;
    m_backend = std::make_unique<platform::window::HeadlessBackend>();
    m_app = std::make_unique<updater::SGUIMain>(*m_backend);
    m_app->SetInstallFolder(m_install.string());
    m_app->SetWritableCheck(
        [installFolderWritable](const std::string&) { return installFolderWritable; });
    SCommandLine::SetArguments(arguments);
    if (m_app->InitInstance() == 0) {
        m_app->ExitInstance();
        return 0;
    }
    // The user's steps arrive on the UI thread like any other posted work, so they also run
    // inside the loops of modal dialogs.
    std::atomic<bool> finished{false};
    std::thread driver([&] {
        const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
        while (!finished.load()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                m_timedOut = true;
                m_backend->postCall([this] {
                    SDialogFrame::CloseAllDialogs();
                    m_app->GetMainWindow().CloseDialog(0);
                });
                return;
            }
            if (step) {
                m_backend->postCall([this, &step, &finished] {
                    if (!finished.load()) {
                        step(*this);
                    }
                });
            }
            std::this_thread::sleep_for(kStepInterval);
        }
    });
    m_app->Run();
    finished.store(true);
    driver.join();
    base::log::flush();
    return 1;
}

updater::SUpdatePanel& UpdateClientHarness::panel() {
    return m_app->GetMainWindow().GetUpdatePanel();
}

updater::SMainDialogFrame& UpdateClientHarness::window() {
    return m_app->GetMainWindow();
}

void UpdateClientHarness::requestClose() {
    m_backend->injectCloseRequest(m_app->GetMainWindow().GetWindow()->id());
}

SPopupDialog* UpdateClientHarness::readyDialog() const {
    const std::vector<SDialogFrame*> dialogs = SDialogFrame::GetOpenDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        auto* popup = dynamic_cast<SPopupDialog*>(*it);
        if (popup == nullptr) {
            continue;
        }
        if (popup->IsClosing() != 0 || popup->GetRoot().IsAnimating() != 0) {
            return nullptr;
        }
        return popup;
    }
    return nullptr;
}

std::vector<std::string> UpdateClientHarness::captions(SPopupDialog& dialog) {
    std::vector<std::string> result;
    SMessageButtonPanel& buttons = dialog.GetButtonPanel();
    for (std::size_t i = 0; i < buttons.GetButtonCount(); ++i) {
        result.push_back(buttons.GetButton(i)->GetText());
    }
    return result;
}

bool UpdateClientHarness::press(SPopupDialog& dialog, const std::string& caption) {
    SMessageButtonPanel& buttons = dialog.GetButtonPanel();
    for (std::size_t i = 0; i < buttons.GetButtonCount(); ++i) {
        if (buttons.GetButton(i)->GetText() == caption) {
            buttons.ButtonClicked(buttons.GetButton(i));
            return true;
        }
    }
    return false;
}

bool UpdateClientHarness::holds(SPopupDialog& dialog, const std::string& contentName) {
    return dialog.GetContentPanel().FindChild(contentName) != nullptr;
}

bool UpdateClientHarness::mainProgramStarted(std::chrono::milliseconds limit) const {
    return testing_support::eventually([&] { return fs::exists(m_install / "main.log"); }, limit);
}

std::string UpdateClientHarness::mainLog(std::chrono::milliseconds limit) const {
    std::string text;
    testing_support::eventually(
        [&] {
            text = ReadFile(m_install / "main.log");
            return !text.empty();
        },
        limit);
    return text;
}

int UpdateClientHarness::logLines(const std::string& text) const {
    base::log::flush();
    std::ifstream in(base::log::currentFile());
    in.seekg(static_cast<std::streamoff>(m_logStart));
    int count = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

std::string UpdateClientHarness::installerLog(std::chrono::milliseconds limit) const {
    const fs::path log = m_install / "installer.log";
    testing_support::eventually([&] { return !ReadFile(log).empty(); }, limit);
    return ReadFile(log);
}

const std::vector<platform::window::HeadlessBackend::MessageBox>&
UpdateClientHarness::messageBoxes() const {
    return m_backend->messageBoxes();
}

}  // namespace updater_test
