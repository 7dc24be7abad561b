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
#include "ui/CHtmlDlg.h"
#include "ui/SCommonToolTipContent.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"
#include "ui/SMessageDialog.h"
#include "ui/SPopupDialog.h"
#include "ui/SToolTipWindow.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kStepMs = 5;
constexpr uint64_t kSettleMs = 1400;

class UpdateShots {
public:
    UpdateShots(platform::window::HeadlessBackend& backend, SGUIApp& app,
                platform::ManualTickSource& clock, fs::path folder)
        : m_backend(backend), m_app(app), m_clock(clock), m_folder(std::move(folder)) {
        char zoom[32];
        std::snprintf(zoom, sizeof zoom, "-z%g.png", SDispatcher::GetZoomFactor());
        m_suffix = zoom;
    }

    void Advance(uint64_t milliseconds) {
        for (uint64_t done = 0; done < milliseconds; done += kStepMs) {
            m_clock.advance(kStepMs);
            for (int turn = 0; turn < 20 && m_app.GetDispatcher().PumpPending(); ++turn) {
            }
        }
    }

    cairo_surface_t* Surface(SWindowFrame& frame) {
        const auto* window =
            frame.GetWindow() != nullptr ? m_backend.window(frame.GetWindow()->id()) : nullptr;
        return window != nullptr ? window->lastFrame() : nullptr;
    }

    void Save(cairo_surface_t* surface, const std::string& name) {
        const fs::path file = m_folder / (name + m_suffix);
        if (surface == nullptr ||
            cairo_surface_write_to_png(surface, file.c_str()) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "auralis-appshots: cannot write %s\n", file.c_str());
            ++failures;
            return;
        }
        std::printf("auralis-appshots: wrote %s (%dx%d)\n", file.c_str(),
                    cairo_image_surface_get_width(surface),
                    cairo_image_surface_get_height(surface));
    }

    // The owner window with a popup window laid over it where it sits on the screen, on a
    // light desk colour where the popup reaches past the owner.
    void SaveOver(SWindowFrame& owner, SWindowFrame& popup, const std::string& name) {
        ReportTextFit(owner, name + m_suffix);
        ReportTextFit(popup, name + m_suffix);
        cairo_surface_t* below = Surface(owner);
        cairo_surface_t* above = Surface(popup);
        if (below == nullptr || above == nullptr) {
            Save(nullptr, name);
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
        Save(whole, name);
        cairo_surface_destroy(whole);
    }

    // Runs `open`, which opens a modal dialog; once it has zoomed in, `act` runs inside its
    // loop, then the newest dialog is written and every dialog closed.
    void Modal(const std::function<void()>& open, const std::function<void()>& act,
               const std::string& name) {
        const uint64_t start = m_clock.now();
        bool acted = false;
        bool written = false;
        auto step = std::make_shared<std::function<void()>>();
        *step = [&, step] {
            const std::vector<SDialogFrame*> dialogs = SDialogFrame::GetOpenDialogs();
            if (dialogs.empty() || written) {
                return;
            }
            const uint64_t elapsed = m_clock.now() - start;
            if (!acted && elapsed >= kSettleMs / 2) {
                acted = true;
                act();
            } else if (acted && elapsed >= kSettleMs) {
                ReportTextFit(*dialogs.back(), name + m_suffix);
                Save(Surface(*dialogs.back()), name);
                written = true;
                SDialogFrame::CloseAllDialogs();
                return;
            }
            m_clock.advance(kStepMs);
            m_backend.postCall(*step);
        };
        m_backend.postCall(*step);
        open();
        for (int turn = 0; turn < 20 && m_app.GetDispatcher().PumpPending(); ++turn) {
        }
        *step = nullptr;
    }

    void Popup(SWindowBase& content, int buttons, const std::vector<std::string>& captions,
               const std::string& title, const SSize& size, SWindowFrame& owner,
               const std::string& name) {
        SPopupDialog popup(&content, buttons, content.GetClassName());
        popup.SetButtonCaptions(captions);
        Modal([&] { popup.DoModalResult(&owner, title, size); }, [] {}, name);
    }

    int failures = 0;

private:
    platform::window::HeadlessBackend& m_backend;
    SGUIApp& m_app;
    platform::ManualTickSource& m_clock;
    fs::path m_folder;
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
            ++shots.failures;
        }
        backend.injectMouseMove(frame.GetWindow()->id(), 1, 1);
        shots.Advance(200);
        hovered.SetToolTip(nullptr);

        shots.Modal([&] { frame.OnCommand(604); }, [] {}, "about");
        CHtmlDlg licence(AboutTesselPanel::LicencePagePath());
        shots.Modal(
            [&] {
                licence.DoModal(
                    &frame, AfxGetStrRes("MNU_LicenceInformation"),
                    SSize(AboutTesselPanel::kLicenceWidth, AboutTesselPanel::kLicenceHeight));
            },
            [] {}, "licence");

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
            [] {}, "update-network-error");
        frame.Destroy();
        shots.Advance(50);
    }
    link.shutdown();
    return shots.failures;
}
