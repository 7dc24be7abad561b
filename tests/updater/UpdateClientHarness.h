#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/headless/HeadlessBackend.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/integration/SimNeighbourhood.h"

class SPopupDialog;

namespace updater {
class SGUIMain;
class SMainDialogFrame;
class SUpdatePanel;
}  // namespace updater

namespace updater_test {

// A client run in this process on the headless backend, against auralis-sim's update server,
// with a temporary install folder whose "AuralisManager" is a stand-in script that records
// each start in main.log (the installer the sim serves records its arguments in
// installer.log).
class UpdateClientHarness {
public:
    // One step of the user: called on the UI thread, inside whatever loop runs (a dialog's
    // too), every few milliseconds until the window has closed.
    using Step = std::function<void(UpdateClientHarness&)>;

    UpdateClientHarness();
    ~UpdateClientHarness();

    integration::SimNeighbourhood& sim() { return *m_sim; }
    std::string installerAddress(const std::string& version = "9.9.9") const;

    // Runs the client with these arguments until its window closes (or, failing that, 60 s).
    // Returns InitInstance's result (0: the client did not start).
    int run(const std::vector<std::string>& arguments, const Step& step = {},
            bool installFolderWritable = true);

    // ---- inside a step
    updater::SUpdatePanel& panel();
    updater::SMainDialogFrame& window();
    // The desktop asks the client's window to close (the window manager's close button).
    void requestClose();
    // The newest open popup dialog that has not started closing, once its opening zoom has
    // ended (so it takes input); null otherwise.
    SPopupDialog* readyDialog() const;
    // The captions of a dialog's buttons, left to right.
    static std::vector<std::string> captions(SPopupDialog& dialog);
    // Presses the button with this caption.
    static bool press(SPopupDialog& dialog, const std::string& caption);
    static bool holds(SPopupDialog& dialog, const std::string& contentName);

    // ---- after a run
    bool timedOut() const { return m_timedOut; }
    // The stand-in main program was started (waits a little for the detached start).
    bool mainProgramStarted(std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // What the stand-in main program recorded of its starts (waits a little for the first).
    std::string mainLog(std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Log lines written during the run that contain text.
    int logLines(const std::string& text) const;
    std::string installerLog(std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    std::filesystem::path tempFolder() const;
    const std::filesystem::path& installFolder() const { return m_install; }
    const std::vector<platform::window::HeadlessBackend::MessageBox>& messageBoxes() const;

private:
    std::unique_ptr<integration::SimNeighbourhood> m_sim;
    std::filesystem::path m_install;
    std::unique_ptr<testing_support::ScopedEnv> m_installLogEnv;
    std::unique_ptr<platform::window::HeadlessBackend> m_backend;
    std::unique_ptr<updater::SGUIMain> m_app;
    std::uintmax_t m_logStart = 0;
    bool m_timedOut = false;
};

}  // namespace updater_test
