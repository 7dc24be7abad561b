// auralis-appshots: renders the home, connecting and failure screens and the device-list
// dialog on the headless window backend into PNG files for several pairs of earbuds (both
// generations, colours, battery levels and placements); and the window menu, the about
// dialog, the licence page and the update check's dialogs, and the firmware update screen in
// each of its states, its version-check popup and its dialogs. Every picture is made at zoom
// 1, 1.5 and 2 ("name-z1.png", "name-z1.5.png", "name-z2.png").
//
//     auralis-appshots OUT_DIR

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/SBluetoothDevicesPopup.h"
#include "app/SCheckFWVersionPopup.h"
#include "flow/FirmwareUpdateFlow.h"
#include "link/DeviceStatus.h"
#include "platform/TickCount.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/WebApiData.h"
#include "tools/appshots/ShotFrame.h"
#include "tools/appshots/TextFitReport.h"
#include "tools/appshots/UpdateShots.h"
#include "tools/common/ScratchUserFolders.h"
#include "tools/common/ShotFolderArgument.h"
#include "tools/common/ShotRecorder.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"
#include "ui/SItemList.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSettleMs = 1400;

struct Pair {
    std::string file;
    std::string name;
    std::string model;
    int left;
    int right;
    int battery_case;
    int wearing;  // left placement in the high four bits, right in the low ones
    int colour;
};

// The recorder with this tool's habits: every picture also reports the texts that do not fit,
// and a dialog's picture closes every dialog.
class Shots : public tools::ShotRecorder {
public:
    Shots(platform::window::HeadlessBackend& backend, SGUIApp& app,
          platform::ManualTickSource& clock, fs::path folder)
        : ShotRecorder("auralis-appshots", backend, app, clock, std::move(folder)) {}

    bool Write(SWindowFrame& frame, const std::string& name) {
        ReportTextFit(frame, name);
        return ShotRecorder::Write(frame, name);
    }

    // Runs `open`, which opens a modal dialog; once it has zoomed in, `act` runs inside the
    // dialog's loop, then the dialog's window is written and the dialog closed.
    void Modal(const std::function<void()>& open, const std::function<void(SDialogFrame&)>& act,
               const std::string& name) {
        ModalShot shot;
        shot.act = act;
        shot.record = [this, &name](SDialogFrame& dialog) {
            Write(dialog, name);
            SDialogFrame::CloseAllDialogs();
        };
        ShotRecorder::Modal(open, kSettleMs, shot, name);
    }
};

const std::vector<Pair>& Pairs() {
    static const std::vector<Pair> pairs = {
        {"home-r175-blue-merged", "Auralis2 (Blue)", "VX-R175", 80, 70, 60, 0x11, 258},
        {"home-r175-black-two", "Auralis2", "VX-R175", 85, 40, 90, 0x22, 260},
        {"home-r175-pink-incase", "Auralis+ (Pink)", "VX-R175", 100, 25, 45, 0x31, 259},
        {"home-r175-red-leftdim", "Auralis2 Red", "VX-R175", 55, 8, 70, 0x01, 263},
        {"home-r175-purple-bothcase", "Auralis2", "VX-R175", 95, 95, 12, 0x33, 266},
        {"home-r175-deepblue-bothidle", "Auralis2", "VX-R175", 50, 50, 50, 0x44, 264},
        {"home-r175-norq-rightdim-case", "Auralis2 Norq", "VX-R175", 35, 0, 82, 0x34, 262},
        {"home-r175-colour300", "Auralis2", "VX-R175", 20, 28, 100, 0x11, 300},
        {"home-r170", "Auralis (Kestrane)", "VX-R170", 90, 15, 0, 0x00, 0},
    };
    return pairs;
}

std::string Suffix(double zoom) {
    char text[32];
    std::snprintf(text, sizeof(text), "-z%g.png", zoom);
    return text;
}

// The program's window at a zoom, ready to draw its screens; a failure is counted and said.
bool CreateShotFrame(ShotFrame& frame, Shots& shots, double zoom, const char* title) {
    frame.zoomMode = 1;
    SFrameOptions create;
    create.title = title;
    create.rect =
        SRect(0, 0, std::ceil(ShotFrame::kWidth * zoom), std::ceil(ShotFrame::kHeight * zoom));
    if (frame.Create(create) == 0) {
        std::fprintf(stderr, "auralis-appshots: cannot create the window\n");
        shots.CountFailure();
        return false;
    }
    return true;
}

void ScreensAt(Shots& shots, double zoom) {
    const std::string suffix = Suffix(zoom);
    ShotFrame frame;
    if (!CreateShotFrame(frame, shots, zoom, "Auralis screens")) {
        return;
    }
    frame.Show();
    shots.Advance(100);

    SDeviceCluster& cluster = frame.home.GetDeviceCluster();
    shots.Advance(100);
    frame.ShowScreen(&frame.home);
    shots.Advance(kSettleMs);
    shots.Write(frame, "home-before-device" + suffix);
    for (const Pair& pair : Pairs()) {
        cluster.SetDevice(pair.name, pair.model);
        DeviceStatus status;
        status.batteryLeft = pair.left;
        status.batteryRight = pair.right;
        status.batteryCase = pair.battery_case;
        status.wearingDetection = pair.wearing;
        status.DeviceColorL = pair.colour;
        status.DeviceColorR = pair.colour;
        frame.home.OnDeviceStatusChange(status);
        shots.Advance(200);
        shots.Write(frame, pair.file + suffix);
    }

    frame.ShowScreen(&frame.connecting);
    shots.Advance(kSettleMs);
    shots.Write(frame, "connecting" + suffix);
    shots.Advance(2000);
    shots.Write(frame, "connecting-pulse" + suffix);

    frame.ShowScreen(&frame.fail);
    for (int kind : {2, 3}) {
        frame.fail.SetFailKind(kind);
        shots.Advance(kSettleMs);
        shots.Write(frame, "fail-kind" + std::to_string(kind) + suffix);
    }

    SItemList items;
    const char* names[] = {"Auralis2 (Blue)", "Auralis+ (Living room)",
                           "Auralis2 with a rather long name that does not fit", "Auralis"};
    for (int i = 0; i < 4; ++i) {
        SItem item;
        item.SetValue("BluetoothName", names[i]);
        item.SetValue("BluetoothKey", std::to_string(0x001122334455ull + static_cast<unsigned>(i)));
        items.Add(item);
    }
    auto run = [&](const std::function<void(SBluetoothDevicesPopup&)>& act,
                   const std::string& name) {
        SBluetoothDevicesPopup popup;
        popup.zoomMode = 1;
        popup.SetItemList(&items);
        shots.Modal([&] { popup.DoModal(&frame); }, [&](SDialogFrame&) { act(popup); },
                    name + suffix);
    };
    run([](SBluetoothDevicesPopup&) {}, "devices-popup");
    run([](SBluetoothDevicesPopup& popup) { popup.GetPanel().GetListView().SetSelectedRow(1); },
        "devices-popup-chosen");
    run(
        [](SBluetoothDevicesPopup& popup) {
            popup.GetPanel().ButtonClicked(&popup.GetPanel().GetStopButton());
        },
        "devices-popup-stopped");
    SItemList empty;
    {
        SBluetoothDevicesPopup popup;
        popup.zoomMode = 1;
        popup.SetItemList(&empty);
        shots.Modal([&] { popup.DoModal(&frame); }, [](SDialogFrame&) {},
                    "devices-popup-empty" + suffix);
    }
}

// The firmware update screen below a connected pair, through a whole update.
void FirmwareScreensAt(Shots& shots, double zoom) {
    const std::string suffix = Suffix(zoom);
    ShotFrame frame;
    if (!CreateShotFrame(frame, shots, zoom, "Auralis firmware screens")) {
        return;
    }
    frame.Show();
    frame.home.GetDeviceCluster().SetDevice("Auralis2 (Blue)", "VX-R175");
    DeviceStatus status;
    status.batteryLeft = 80;
    status.batteryRight = 75;
    status.batteryCase = 60;
    status.wearingDetection = 0x11;
    status.DeviceColorL = status.DeviceColorR = 258;
    frame.home.OnDeviceStatusChange(status);
    frame.ShowScreen(&frame.home);
    shots.Advance(kSettleMs);

    SFirmwareUpdateView& view = frame.home.GetFirmwareUpdateView();
    view.OnDeviceVersionChange("1.5.0", "1.5.0");
    EnvironVar::SetIsNotifyUpdateFW(0);
    EnvironVar::SetLastTimeUpdateFW(0);
    view.SetViewState(SFirmwareUpdateView::kStateCheck);
    shots.Advance(200);
    shots.Write(frame, "fw-state0-never-updated" + suffix);

    EnvironVar::SetIsNotifyUpdateFW(1);
    EnvironVar::SetLastTimeUpdateFW(1796748480);  // 2026-12-08 16:48 UTC
    view.SetViewState(SFirmwareUpdateView::kStateCheck);
    shots.Advance(200);
    shots.Write(frame, "fw-state0-badge-lastupdate" + suffix);

    // The date as a Korean reader sees it, whatever the language of the other shots.
    const char* ownLanguage = std::getenv("AURALIS_LANG");
    const std::string saved = ownLanguage != nullptr ? ownLanguage : "";
    setenv("AURALIS_LANG", "ko-KR", 1);
    EnvironVar::Reload();
    view.SetViewState(SFirmwareUpdateView::kStateCheck);
    shots.Advance(200);
    shots.Write(frame, "fw-state0-korean-date" + suffix);
    if (ownLanguage != nullptr) {
        setenv("AURALIS_LANG", saved.c_str(), 1);
    } else {
        unsetenv("AURALIS_LANG");
    }
    EnvironVar::Reload();

    FirmwareOffer offer;
    offer.currentVersion = "1.5.0";
    offer.newVersion = "2.2.0";
    offer.sizeText = "293 KB";
    offer.shownNotes =
        "Clearer calls in windy places.\nLonger battery life with noise cancelling on.\n"
        "Faster pairing with a second computer.";
    offer.offered = offer.newer = true;
    view.ShowOffer(offer);
    shots.Advance(200);
    shots.Write(frame, "fw-state1-available" + suffix);
    if (auto* bar = view.GetVerticalBar()) {
        view.ScrollTo(0, 1000);
        shots.Advance(200);
        shots.Write(frame, "fw-state1-scrolled" + suffix);
        view.ScrollTo(0, 0);
        (void)bar;
    }

    view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_DOWNLOAD);
    view.OnFlowDownloadProgress(42, 126000);
    shots.Advance(200);
    shots.Write(frame, "fw-state2-downloading" + suffix);

    view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY);
    view.OnFlowTransferProgress(67, 201000);
    shots.Advance(200);
    shots.Write(frame, "fw-state3-copying" + suffix);

    // The version-check popup, held open: its answer never comes within the shot.
    SCheckFWVersionPopup::SetAnswerPause(std::chrono::milliseconds(60000));
    {
        SCheckFWVersionPopup popup(&frame, "VX-R175");
        shots.Modal([&] { popup.Show(); }, [](SDialogFrame&) {}, "fw-check-popup" + suffix);
    }
    SCheckFWVersionPopup::SetAnswerPause(std::chrono::milliseconds(1000));

    // The screen's dialogs, each raised as its event would raise it.
    auto dialog = [&](const std::function<void()>& raise, const std::string& name) {
        shots.Modal(
            [&] {
                raise();
                for (int turn = 0; turn < 20 && shots.App().GetDispatcher().PumpPending(); ++turn) {
                }
            },
            [](SDialogFrame&) {}, name + suffix);
    };
    dialog([&] { view.OnDeviceVersionMismatch(); }, "fw-dialog-mismatch");
    view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY);
    shots.Advance(50);
    dialog([&] { view.OnFlowFinish(false, 3); }, "fw-dialog-failed");
    view.OnFlowPhaseChange(FirmwareUpdateFlow::PH_COPY);
    shots.Advance(50);
    dialog([&] { view.OnFlowFinish(true, 0); }, "fw-dialog-success");
    dialog(
        [&] {
            view.OnFlowInternetUnavailable(
                base::Error(
                    "no connection to the server could be made (Could not connect to server)", 6)
                    .within("download"));
        },
        "fw-dialog-internet");
    dialog([&] { view.OnFlowBluetoothUnavailable(FlowLinkLoss::NotReady); }, "fw-dialog-bluetooth");
    dialog([&] { view.OnFlowInternetUnavailable(base::Error("", WEBAPI_ERROR_NO_SERVER)); },
           "fw-dialog-noserver");
    dialog([&] { view.OnFlowInternetUnavailable(base::Error("", 500)); }, "fw-dialog-servererror");
    dialog(
        [&] {
            view.OnFlowInternetUnavailable(
                base::Error(
                    "the server's answer broke off, stalled or crawled (Operation too slow)",
                    WEBAPI_ERROR_INTERRUPTED)
                    .within("download"));
        },
        "fw-dialog-interrupted");
    dialog([&] { view.OnFlowInternetUnavailable(base::Error("", WEBAPI_ERROR_DISK_FULL)); },
           "fw-dialog-diskfull");
    dialog([&] { view.OnFlowInternetUnavailable(base::Error("", WEBAPI_ERROR_BAD_ADDRESS)); },
           "fw-dialog-refusedaddress");
    dialog(
        [&] {
            view.OnFlowPackageRefused(
                base::Error("the table ends after 1 of 2 entries").within("reading entry table"));
        },
        "fw-dialog-damaged");
    dialog([&] { view.OnFlowPairLost(); }, "fw-dialog-pairlost");
    dialog([&] { view.OnFlowBluetoothUnavailable(FlowLinkLoss::Closed); }, "fw-dialog-linklost");
    dialog([&] { view.OnFlowBluetoothUnavailable(FlowLinkLoss::Silent); }, "fw-dialog-silent");
    view.ShowOffer(offer);
    shots.Advance(50);
    offer.offered = false;
    dialog([&] { view.ShowOffer(offer); }, "fw-dialog-uptodate");
}

// The zooms to shoot: 1, 1.5 and 2, or those AURALIS_SHOT_ZOOMS lists (for a quicker run).
std::vector<double> Zooms() {
    const char* listed = std::getenv("AURALIS_SHOT_ZOOMS");
    std::vector<double> zooms;
    if (listed != nullptr) {
        std::istringstream words(listed);
        double zoom = 0;
        while (words >> zoom) {
            if (zoom >= 1.0 && zoom <= 4.0) {
                zooms.push_back(zoom);
            }
        }
    }
    if (zooms.empty()) {
        zooms = {1.0, 1.5, 2.0};
    }
    return zooms;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr const char* kUsage =
        "usage: auralis-appshots OUT_DIR\n"
        "  writes the program's screens and dialogs as PNG pictures into OUT_DIR\n"
        "  at zoom 1, 1.5 and 2 (AURALIS_SHOT_ZOOMS=\"1 2\" picks fewer)\n";
    fs::path folder;
    if (const int exitCode = tools::shotFolderArgument(argc, argv, kUsage, folder); exitCode >= 0) {
        return exitCode;
    }
    const tools::ScratchUserFolders scratch;
    platform::ManualTickSource clock;
    platform::window::HeadlessBackend backend;
    SGUIApp app(backend);
    // The language as the program picks it: AURALIS_LANG, else LC_ALL, LC_MESSAGES, LANG.
    AfxGetLocale()->SetLocale(EnvironVar::GetLanguage());
    app.SetLanguage(EnvironVar::GetLanguage());
    app.InitInstance();
    app.GetDispatcher().running = 1;
    app.GetDispatcher().SetLastFrameTick(clock.now());
    Shots shots(backend, app, clock, folder);
    for (double zoom : Zooms()) {
        SDispatcher::SetZoomFactor(zoom);
        ScreensAt(shots, zoom);
        // The menu, the about dialog and the update check's dialogs.
        shots.AddFailures(RenderUpdateShots(backend, app, clock, folder));
        FirmwareScreensAt(shots, zoom);
    }
    app.GetDispatcher().running = 0;
    return shots.Failures() == 0 ? 0 : 1;
}
