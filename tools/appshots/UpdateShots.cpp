#include "tools/appshots/UpdateShots.h"

#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "app/AboutTesselPanel.h"
#include "app/SCheckVersionDlg.h"
#include "app/SLastestVersionDlg.h"
#include "app/SNeedUpdateDlg.h"
#include "app/SWindowMainFrame.h"
#include "link/BluetoothHandle.h"
#include "platform/TickCount.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "tools/appshots/TextFitReport.h"
#include "tools/common/ShotRecorder.h"
#include "ui/CHtmlDlg.h"
#include "ui/SCommonToolTipContent.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"
#include "ui/SMessageDialog.h"
#include "ui/SPopupDialog.h"
#include "ui/SToolTipWindow.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSettleMs = 1400;

// The recorder with this tool's habits: pictures are named with the zoom they were made at,
// every picture also reports the texts that do not fit, and a dialog's picture closes every
// dialog.
class UpdateShots : public tools::ShotRecorder {
public:
    UpdateShots(platform::window::HeadlessBackend& backend, SGUIApp& app,
                platform::ManualTickSource& clock, fs::path folder)
        : ShotRecorder("auralis-appshots", backend, app, clock, std::move(folder)) {
        char zoom[32];
        std::snprintf(zoom, sizeof zoom, "-z%g.png", SDispatcher::GetZoomFactor());
        m_suffix = zoom;
    }

    void SaveAs(cairo_surface_t* surface, const std::string& name) {
        Save(surface, name + m_suffix);
    }

    // The owner window with a popup window laid over it where it sits on the screen, on a
    // light desk colour where the popup reaches past the owner.
    void SaveOver(SWindowFrame& owner, SWindowFrame& popup, const std::string& name) {
        ReportTextFit(owner, name + m_suffix);
        ReportTextFit(popup, name + m_suffix);
        cairo_surface_t* below = Surface(owner);
        cairo_surface_t* above = Surface(popup);
        if (below == nullptr || above == nullptr) {
            SaveAs(nullptr, name);
            return;
        }
        const platform::window::Rect a = owner.GetWindow()->screenRect();
        const platform::window::Rect b = popup.GetWindow()->screenRect();
        const int left = std::min(a.x, b.x);
        const int top = std::min(a.y, b.y);
        const int right = std::max(a.x + a.width, b.x + b.width);
        const int bottom = std::max(a.y + a.height, b.y + b.height);
        cairo_surface_t* whole =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, right - left, bottom - top);
        cairo_t* cr = cairo_create(whole);
        cairo_set_source_rgb(cr, 0.93, 0.94, 0.95);
        cairo_paint(cr);
        cairo_set_source_surface(cr, below, a.x - left, a.y - top);
        cairo_paint(cr);
        cairo_set_source_surface(cr, above, b.x - left, b.y - top);
        cairo_paint(cr);
        cairo_destroy(cr);
        SaveAs(whole, name);
        cairo_surface_destroy(whole);
    }

    // Runs `open`, which opens a modal dialog; once it has zoomed in, the newest dialog is
    // written and every dialog closed.
    void Modal(const std::function<void()>& open, const std::string& name) {
        ModalShot shot;
        shot.record = [this, &name](SDialogFrame& dialog) {
            ReportTextFit(dialog, name + m_suffix);
            SaveAs(Surface(dialog), name);
            SDialogFrame::CloseAllDialogs();
        };
        ShotRecorder::Modal(open, kSettleMs, shot, name);
    }

    void Popup(SWindowBase& content, int buttons, const std::vector<std::string>& captions,
               const std::string& title, const SSize& size, SWindowFrame& owner,
               const std::string& name) {
        SPopupDialog popup(&content, buttons, content.GetClassName());
        popup.SetButtonCaptions(captions);
        Modal([&] { popup.DoModalResult(&owner, title, size); }, name);
    }

private:
    std::string m_suffix;
};

}  // namespace

int RenderUpdateShots(platform::window::HeadlessBackend& backend, SGUIApp& app,
                      platform::ManualTickSource& clock, const fs::path& folder) {
    UpdateShots shots(backend, app, clock, folder);
    // The start-up check finds no server here; it ends at once.
    SCheckVersionDlg::SetAnswerDelay(std::chrono::milliseconds(0));
    BluetoothHandle link;
    {
        SWindowMainFrame frame;
        frame.GetMainView().SetBluetoothHandle(&link);
        if (frame.CreateMainFrame() == 0) {
            std::fprintf(stderr, "auralis-appshots: cannot create the main window\n");
            return 1;
        }
        frame.Show();
        shots.Advance(kSettleMs);

        // The menu with the about entry marked: a newer version is known.
        frame.OnUpdateMark(1);
        frame.GetTitleBar().GetMenuButton().PerformClick();
        shots.Advance(200);
        shots.SaveOver(frame, frame.GetMenuFrame(), "menu-open");
        frame.CloseWindowMenu();
        shots.Advance(100);

        // A tooltip as hovering shows it: the pointer rests on the menu button.
        SWindowBase& hovered = frame.GetTitleBar().GetMenuButton();
        hovered.SetToolTip(
            std::make_unique<SCommonToolTipContent>(AfxGetStrRes("MNU_CheckUpdate")));
        const SRect spot = hovered.GetRect(SWindowBase::kRectInFrame, 1);
        backend.injectMouseMove(frame.GetWindow()->id(),
                                static_cast<int>((spot.left + spot.right) / 2),
                                static_cast<int>((spot.top + spot.bottom) / 2));
        shots.Advance(kSettleMs);
        if (SToolTipWindow* tooltip = SToolTipWindow::GetInstance();
            tooltip != nullptr && tooltip->IsShown()) {
            shots.SaveOver(frame, *tooltip, "tooltip");
        } else {
            std::fprintf(stderr, "auralis-appshots: the tooltip did not show\n");
            shots.CountFailure();
        }
        backend.injectMouseMove(frame.GetWindow()->id(), 1, 1);
        shots.Advance(200);
        hovered.SetToolTip(nullptr);

        shots.Modal([&] { frame.OnCommand(604); }, "about");
        CHtmlDlg licence(AboutTesselPanel::LicencePagePath());
        shots.Modal(
            [&] {
                licence.DoModal(
                    &frame, AfxGetStrRes("MNU_LicenceInformation"),
                    SSize(AboutTesselPanel::kLicenceWidth, AboutTesselPanel::kLicenceHeight));
            },
            "licence");

        SCheckVersionDlg checking;
        shots.Popup(checking, SPopupDialog::kNoButtons, {}, AfxGetStrRes("MNU_AuralisManager"),
                    SSize(SCheckVersionDlg::kWidth, SCheckVersionDlg::kHeight), frame,
                    "update-checking");
        SLastestVersionDlg latest;
        shots.Popup(latest, 0, {}, AfxGetStrRes("MNU_Notify"), latest.CardSize(), frame,
                    "update-latest");
        SNeedUpdateDlg question;
        shots.Popup(question, 1,
                    {AfxGetStrRes("MNU_Zephiro_Update"), AfxGetStrRes("MNU_Zephiro_Cancel")},
                    SNeedUpdateDlg::Title(EnvironVar::GetLanguage()), question.CardSize(), frame,
                    "update-question");
        // As the updater raises it: a message dialog as tall as its text.
        shots.Modal(
            [&] {
                SMessageDialog::Show(&frame, AfxGetStrRes("MNU_UpdateNetworkErrorTitle"),
                                     AfxGetStrRes("MSG_UpdateNetworkErrorDescription"));
            },
            "update-network-error");
        frame.Destroy();
        shots.Advance(50);
    }
    link.shutdown();
    return shots.Failures();
}
