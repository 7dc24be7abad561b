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
#include "tools/common/ShotFolderArgument.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"
#include "ui/SMessageDialog.h"
#include "updater/SMainDialogFrame.h"
#include "updater/SUpdatePanel.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kStepMs = 5;
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

class Shots {
public:
    Shots(platform::window::HeadlessBackend& backend, SGUIApp& app,
          platform::ManualTickSource& clock, fs::path folder)
        : m_backend(backend), m_app(app), m_clock(clock), m_folder(std::move(folder)) {}

    void Advance(uint64_t milliseconds) {
        for (uint64_t done = 0; done < milliseconds; done += kStepMs) {
            m_clock.advance(kStepMs);
            for (int turn = 0; turn < 20 && m_app.GetDispatcher().PumpPending(); ++turn) {
            }
        }
    }

    bool Write(SWindowFrame& frame, const std::string& name) {
        platform::window::HeadlessWindow* window =
            frame.GetWindow() != nullptr ? m_backend.window(frame.GetWindow()->id()) : nullptr;
        cairo_surface_t* surface = window != nullptr ? window->lastFrame() : nullptr;
        const fs::path file = m_folder / name;
        if (surface == nullptr ||
            cairo_surface_write_to_png(surface, file.c_str()) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "auralis-updatershots: cannot write %s\n", file.c_str());
            ++failures;
            return false;
        }
        std::printf("auralis-updatershots: wrote %s (%dx%d)\n", file.c_str(),
                    cairo_image_surface_get_width(surface),
                    cairo_image_surface_get_height(surface));
        return true;
    }

    // Runs `open`, which leads to a modal dialog; once that has zoomed in, its window is
    // written and the dialog closed. `keep` (the client's window) is never taken for it.
    void Modal(const std::function<void()>& open, SDialogFrame* keep, const std::string& name) {
        struct State {
            uint64_t start = 0;
            bool done = false;
            std::function<void()> step;
        };
        auto state = std::make_shared<State>();
        state->start = m_clock.now();
        std::weak_ptr<State> weak = state;
        state->step = [this, weak, keep, name] {
            std::shared_ptr<State> s = weak.lock();
            if (!s || s->done) {
                return;
            }
            const std::vector<SDialogFrame*> dialogs = SDialogFrame::GetOpenDialogs();
            const bool open = !dialogs.empty() && dialogs.back() != keep;
            if (open && m_clock.now() - s->start >= kSettleMs) {
                s->done = true;
                Write(*dialogs.back(), name);
                dialogs.back()->CloseDialog(0);
                return;
            }
            m_clock.advance(kStepMs);
            m_backend.postCall(s->step);
        };
        m_backend.postCall(state->step);
        open();
        if (!state->done) {
            std::fprintf(stderr, "auralis-updatershots: no dialog for %s\n", name.c_str());
            ++failures;
        }
        state->done = true;
        state->step = nullptr;
    }

    platform::window::HeadlessBackend& m_backend;
    SGUIApp& m_app;
    platform::ManualTickSource& m_clock;
    fs::path m_folder;
    int failures = 0;
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
        ++shots.failures;
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
    return shots.failures == 0 ? 0 : 1;
}
