// auralis-updatershots: renders the update client's window on the headless window backend into
// PNG files, at zoom 1 and 2: the download at about 40 %, the failure message with its retry,
// the network notice, the package-tool message and the cancel question.
//
//     auralis-updatershots OUT_DIR
//
// The download goes to a local port that accepts and never answers, so nothing but the
// progress this tool reports moves the window.

#include <cairo.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/TickCount.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "services/SLocale.h"
#include "services/WebApiData.h"
#include "tools/common/ScratchUserFolders.h"
#include "tools/common/ShotFolderArgument.h"
#include "tools/common/ShotRecorder.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"
#include "ui/SMessageDialog.h"
#include "updater/SMainDialogFrame.h"
#include "updater/SUpdatePanel.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSettleMs = 600;

// A port that accepts connections and never answers.
class SilentPort {
public:
    SilentPort() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(m_fd, 4);
        socklen_t length = sizeof(address);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentPort() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// The recorder with this tool's habit: a dialog's picture closes that dialog, the client's own
// window staying.
class Shots : public tools::ShotRecorder {
public:
    Shots(platform::window::HeadlessBackend& backend, SGUIApp& app,
          platform::ManualTickSource& clock, fs::path folder)
        : ShotRecorder("auralis-updatershots", backend, app, clock, std::move(folder)) {}

    // Runs `open`, which leads to a modal dialog; once that has zoomed in, its window is
    // written and the dialog closed. `keep` (the client's window) is never taken for it.
    void Modal(const std::function<void()>& open, SDialogFrame* keep, const std::string& name) {
        ModalShot shot;
        shot.keep = keep;
        shot.record = [this, &name](SDialogFrame& dialog) {
            Write(dialog, name);
            dialog.CloseDialog(0);
        };
        ShotRecorder::Modal(open, kSettleMs, shot, name);
    }
};

void Report(int percent, int bytes) {
    WEBAPI_PROGRESS progress{0, bytes, percent};
    WEBAPI_DATA data{WRT_PROGRESS, 0, 0, nullptr, &progress};
    updater::SUpdatePanel::WebApiCallback(&data);
}

void ShotsAt(Shots& shots, double zoom, const std::string& address, bool writable) {
    const std::string suffix = zoom == 1.0 ? "-z1.png" : "-z2.png";
    updater::SMainDialogFrame frame;
    updater::UpdateRequest request;
    request.version = "1.1.0";
    request.address = address;
    request.installFolder = "/nonexistent";
    request.installFolderWritable = writable;
    frame.SetRequest(request);
    if (frame.CreateMainWindow() == 0) {
        std::fprintf(stderr, "auralis-updatershots: cannot create the window\n");
        shots.CountFailure();
        return;
    }
    updater::SUpdatePanel& panel = frame.GetUpdatePanel();
    if (!writable) {
        // The message comes by itself once the window shows.
        shots.Modal(
            [&] {
                frame.ShowMainWindow();
                shots.Advance(100);
            },
            &frame, "client-package-tool" + suffix);
        frame.CloseDialog(0);
        shots.Advance(50);
        return;
    }
    frame.ShowMainWindow();
    shots.Advance(kSettleMs);
    shots.Write(frame, "client-start" + suffix);
    Report(41, 8 * 1024 * 1024 + 300 * 1024);
    shots.Advance(100);
    shots.Write(frame, "client-progress" + suffix);

    shots.Modal([&] { panel.AskRetryAfterFailure(); }, &frame, "client-failure" + suffix);
    shots.Modal([&] { panel.ShowNetworkNotice(); }, &frame, "client-notice" + suffix);
    shots.Modal(
        [&] {
            SMessageDialog::Show(&frame, updater::SUpdatePanel::WindowTitle(),
                                 AfxGetStrRes("MUA_UpdateCancelQ"), 1);
        },
        &frame, "client-cancel-question" + suffix);
    frame.CloseDialog(0);
    shots.Advance(50);
}

}  // namespace

int main(int argc, char** argv) {
    constexpr const char* kUsage =
        "usage: auralis-updatershots OUT_DIR\n"
        "  writes the program's screens and dialogs as PNG pictures into OUT_DIR\n";
    fs::path folder;
    if (const int exitCode = tools::shotFolderArgument(argc, argv, kUsage, folder); exitCode >= 0) {
        return exitCode;
    }
    const tools::ScratchUserFolders scratch;
    SilentPort port;
    const std::string address = "http://127.0.0.1:" + std::to_string(port.port()) +
                                "/app/download/LumoraAuralisManagerSetup-1.1.0.sh";
    platform::ManualTickSource clock;
    platform::window::HeadlessBackend backend;
    SGUIApp app(backend);
    app.SetLanguage("en-US");
    app.InitInstance();
    app.GetDispatcher().running = 1;
    app.GetDispatcher().SetLastFrameTick(clock.now());
    Shots shots(backend, app, clock, folder);
    for (double zoom : {1.0, 2.0}) {
        SDispatcher::SetZoomFactor(zoom);
        ShotsAt(shots, zoom, address, true);
        ShotsAt(shots, zoom, address, false);
    }
    app.GetDispatcher().running = 0;
    return shots.Failures() == 0 ? 0 : 1;
}
