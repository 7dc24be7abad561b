#include "tools/gallery/GalleryShots.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "tools/gallery/GalleryDialogsPage.h"
#include "tools/gallery/GalleryFrame.h"
#include "tools/gallery/GalleryPage.h"
#include "ui/SDialogFrame.h"
#include "ui/SToolTipWindow.h"
#include "ui/SWindowBaseFinderFrame.h"

namespace fs = std::filesystem;

namespace {
constexpr uint64_t kStepMs = 5;
constexpr uint64_t kSettleMs = 700;  // every delayed show, fade and zoom has ended by then
constexpr const char* kButtonSection = "SCommonButton: caption styles 0 to 15";
constexpr const char* kHoveredButton = "Style 5";
constexpr int kSheetMargin = 24;

// Two pictures side by side on a neutral sheet, top-aligned.
cairo_surface_t* SideBySide(cairo_surface_t* left, cairo_surface_t* right) {
    const int lw = cairo_image_surface_get_width(left);
    const int lh = cairo_image_surface_get_height(left);
    const int rw = cairo_image_surface_get_width(right);
    const int rh = cairo_image_surface_get_height(right);
    cairo_surface_t* sheet = cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, lw + rw + 3 * kSheetMargin, std::max(lh, rh) + 2 * kSheetMargin);
    cairo_t* cr = cairo_create(sheet);
    cairo_set_source_rgb(cr, 0.36, 0.39, 0.43);
    cairo_paint(cr);
    cairo_set_source_surface(cr, left, kSheetMargin, kSheetMargin);
    cairo_paint(cr);
    cairo_set_source_surface(cr, right, 2 * kSheetMargin + lw, kSheetMargin);
    cairo_paint(cr);
    cairo_destroy(cr);
    return sheet;
}
}  // namespace

GalleryShots::GalleryShots(platform::window::HeadlessBackend& backend, SGUIApp& app,
                           platform::ManualTickSource& clock)
    : m_backend(backend), m_app(app), m_clock(clock) {}

void GalleryShots::Advance(uint64_t milliseconds) {
    for (uint64_t done = 0; done < milliseconds; done += kStepMs) {
        m_clock.advance(kStepMs);
        for (int turn = 0; turn < 20 && m_app.GetDispatcher().PumpPending(); ++turn) {
        }
    }
}

bool GalleryShots::Write(cairo_surface_t* surface, const fs::path& file) {
    if (surface == nullptr) {
        std::fprintf(stderr, "ui-gallery: nothing presented for %s\n", file.c_str());
        return false;
    }
    if (cairo_surface_write_to_png(surface, file.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "ui-gallery: cannot write %s\n", file.c_str());
        return false;
    }
    std::printf("ui-gallery: wrote %s (%dx%d)\n", file.c_str(),
                cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface));
    return true;
}

bool GalleryShots::WriteWindow(SWindowFrame& frame, const fs::path& file) {
    const auto* window =
        frame.GetWindow() != nullptr ? m_backend.window(frame.GetWindow()->id()) : nullptr;
    return Write(window != nullptr ? window->lastFrame() : nullptr, file);
}

bool GalleryShots::Page(GalleryFrame& frame, const std::string& name, const fs::path& file) {
    frame.ShowPage(name);
    Advance(kSettleMs);
    return WriteWindow(frame, file);
}

bool GalleryShots::Modal(const std::function<void()>& open, const fs::path& file) {
    bool written = false;
    const uint64_t start = m_clock.now();
    // Runs inside the dialog's own loop, one turn at a time, moving the clock on.
    auto step = std::make_shared<std::function<void()>>();
    *step = [this, &written, &file, start, step] {
        const std::vector<SDialogFrame*> dialogs = SDialogFrame::GetOpenDialogs();
        if (!dialogs.empty() && m_clock.now() - start >= kSettleMs && !written) {
            written = WriteWindow(*dialogs.back(), file);
            SDialogFrame::CloseAllDialogs();
            return;
        }
        if (dialogs.empty() && m_clock.now() - start >= kSettleMs) {
            return;
        }
        m_clock.advance(kStepMs);
        m_backend.postCall(*step);
    };
    m_backend.postCall(*step);
    open();
    // The last turn may still be queued; it finds nothing to do.
    for (int turn = 0; turn < 20 && m_app.GetDispatcher().PumpPending(); ++turn) {
    }
    *step = nullptr;
    return written;
}

bool GalleryShots::ToolTip(GalleryFrame& frame, const std::string& widgetName,
                           const fs::path& file) {
    frame.ShowPage("dialogs");
    Advance(kSettleMs);
    GalleryPage* page = frame.GetPage("dialogs");
    SWindowBase* section =
        page != nullptr ? page->FindChild("Tooltips (hover the batteries)") : nullptr;
    SWindowBase* widget = section != nullptr ? section->FindChild(widgetName) : nullptr;
    SToolTipWindow* tooltip = SToolTipWindow::GetInstance();
    if (widget == nullptr || tooltip == nullptr) {
        std::fprintf(stderr, "ui-gallery: no tooltip target %s\n", widgetName.c_str());
        return false;
    }
    const SRect r = widget->GetRect(SWindowBase::kRectInFrame, 0);
    const auto id = frame.GetWindow()->id();
    m_backend.injectMouseMove(id, 4, 4);  // away first, so the move below enters the widget
    Advance(50);
    m_backend.injectMouseMove(id, static_cast<int>((r.left + r.right) / 2),
                              static_cast<int>((r.top + r.bottom) / 2));
    Advance(kSettleMs);
    const bool written = WriteWindow(*tooltip, file);
    m_backend.injectMouseMove(id, 4, 4);
    Advance(100);
    return written;
}

bool GalleryShots::Inspector(GalleryFrame& frame, const fs::path& file) {
    SWindowBaseFinderFrame* inspector = SWindowBaseFinderFrame::ShowFor(frame);
    GalleryPage* page = frame.GetPage("widgets");
    SWindowBase* section = page != nullptr ? page->FindChild(kButtonSection) : nullptr;
    SWindowBase* button = section != nullptr ? section->FindChild(kHoveredButton) : nullptr;
    if (inspector == nullptr || button == nullptr) {
        std::fprintf(stderr, "ui-gallery: no inspector or no button to hover\n");
        return false;
    }
    frame.ShowPage("widgets");
    Advance(kSettleMs);
    const SRect r = button->GetRect(SWindowBase::kRectInFrame, 0);
    const auto id = frame.GetWindow()->id();
    m_backend.injectMouseMove(id, 4, 4);
    Advance(50);
    m_backend.injectMouseMove(id, static_cast<int>((r.left + r.right) / 2),
                              static_cast<int>((r.top + r.bottom) / 2));
    Advance(kSettleMs);
    const auto* galleryWindow = m_backend.window(id);
    const auto* inspectorWindow = m_backend.window(inspector->GetWindow()->id());
    bool written = false;
    if (galleryWindow != nullptr && galleryWindow->lastFrame() != nullptr &&
        inspectorWindow != nullptr && inspectorWindow->lastFrame() != nullptr) {
        cairo_surface_t* sheet =
            SideBySide(galleryWindow->lastFrame(), inspectorWindow->lastFrame());
        written = Write(sheet, file);
        cairo_surface_destroy(sheet);
    } else {
        written = Write(nullptr, file);
    }
    m_backend.injectMouseMove(id, 4, 4);
    Advance(100);
    SWindowBaseFinderFrame::DestroyFor(frame);
    return written;
}

int GalleryShots::All(GalleryFrame& frame, const fs::path& folder) {
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    int failures = 0;
    auto count = [&failures](bool ok) { failures += ok ? 0 : 1; };
    for (const std::string& name : GalleryFrame::PageNames()) {
        count(Page(frame, name, folder / ("page-" + name + ".png")));
    }
    for (int type = 0; type <= 6; ++type) {
        count(Modal([&frame, type] { GalleryDialogsPage::ShowMessage(&frame, type, nullptr); },
                    folder / ("message-type" + std::to_string(type) + ".png")));
    }
    count(Modal([&frame] { GalleryDialogsPage::ShowQuestionPopup(&frame); },
                folder / "popup-question.png"));
    count(Modal([&frame] { GalleryDialogsPage::ShowWaitingPopup(&frame); },
                folder / "popup-waiting.png"));
    count(Modal([&frame] { GalleryDialogsPage::ShowHtmlDialog(&frame); },
                folder / "dialog-html.png"));
    count(ToolTip(frame, "bubble, centred", folder / "tooltip-bubble.png"));
    count(ToolTip(frame, "bubble, automatic", folder / "tooltip-automatic.png"));
    count(ToolTip(frame, "plain", folder / "tooltip-plain.png"));
    count(Inspector(frame, folder / "inspector.png"));
    return failures;
}
