#include "ui/SToolTipWindow.h"

#include "ui/SColor.h"
#include "ui/SDispatcher.h"
#include "ui/SShadowTooltipPanel.h"
#include "ui/SToolTipContent.h"
#include "ui/SToolTipPanel.h"

namespace {
std::unique_ptr<SToolTipWindow> g_instance;  // UI thread only
}

// The window's root "TopPanel": its timers are the window's.
class SToolTipWindow::Root : public SPanel {
public:
    explicit Root(SToolTipWindow* window) : m_window(window) {}
    const char* GetClassName() const override { return "STopPanel"; }
    void OnTimer(uint32_t id) override { m_window->OnTimer(id); }

private:
    SToolTipWindow* m_window;
};

SToolTipWindow::SToolTipWindow() : m_root(std::make_unique<Root>(this)) {}

SToolTipWindow::~SToolTipWindow() {
    Destroy();
}

SToolTipWindow* SToolTipWindow::Install() {
    if (g_instance) {
        return g_instance.get();
    }
    auto window = std::make_unique<SToolTipWindow>();
    SFrameOptions options;
    options.title = "ToolTip";
    options.rect = SRect(0, 0, 1, 1);
    options.style = platform::window::kStyleBorderless | platform::window::kStyleTooltip |
                    platform::window::kStyleAlwaysOnTop | platform::window::kStyleSkipTaskbar |
                    platform::window::kStyleTranslucent;
    window->zoomMode = 1;
    if (window->Create(options) == 0) {
        return nullptr;
    }
    g_instance = std::move(window);
    IToolTipHost::Set(g_instance.get());
    return g_instance.get();
}

void SToolTipWindow::Uninstall() {
    if (IToolTipHost::Get() == g_instance.get()) {
        IToolTipHost::Set(nullptr);
    }
    g_instance.reset();
}

SToolTipWindow* SToolTipWindow::GetInstance() {
    return g_instance.get();
}

int SToolTipWindow::OnCreate() {
    m_root->CreateRoot(&agent, "TopPanel");
    // Transparent: the panel draws the bubble, its tail and its shadow; the rest of the window
    // shows the desktop (an opaque root drew a white box around the bubble).
    m_root->SetBackgroundColor(SColor::kTransparent);
    return 0;
}

void SToolTipWindow::OnDestroy() {
    m_root->KillTimer(kShowTimer);
    m_root->KillTimer(kHideTimer);
    m_root->KillTimer(kAppearTimer);
    m_current = nullptr;
}

SToolTipPanel* SToolTipWindow::GetPanel(const std::string& kind) const {
    const auto it = m_panels.find(kind);
    return it == m_panels.end() ? nullptr : it->second.get();
}

SToolTipPanel* SToolTipWindow::PanelFor(const std::string& kind) {
    if (SToolTipPanel* panel = GetPanel(kind)) {
        return panel;
    }
    std::unique_ptr<SToolTipPanel> panel;
    if (kind == "SShadowTooltipPanel") {
        panel = std::make_unique<SShadowTooltipPanel>();
    } else {
        panel = std::make_unique<SToolTipPanel>();
    }
    panel->Create(kind, m_root.get(), SMargin(0, 0, 0, 0), SSize(), 0);
    SToolTipPanel* raw = panel.get();
    m_panels[kind] = std::move(panel);
    return raw;
}

bool SToolTipWindow::IsShown() const {
    return GetWindow() != nullptr && GetWindow()->isVisible();
}

void SToolTipWindow::ShowToolTip(SWindowBase*, SToolTipContent* content) {
    if (content == nullptr || !IsWindow()) {
        return;
    }
    Hide();
    if (m_current != nullptr) {
        m_current->SetVisible(0);
    }
    m_current = PanelFor(content->kind);
    m_current->SetContent(content);
    m_root->KillTimer(kShowTimer);
    m_root->KillTimer(kHideTimer);
    m_root->KillTimer(kAppearTimer);
    m_root->SetTimer(kShowTimer, content->showDelay);
}

void SToolTipWindow::RestartHideTimer(uint32_t milliseconds) {
    if (IsWindow()) {
        m_root->SetTimer(kHideTimer, milliseconds);
    }
}

void SToolTipWindow::OnTimer(uint32_t id) {
    switch (id) {
        case kShowTimer:
            OnShowTimer();
            break;
        case kHideTimer:
            OnHideTimer();
            break;
        case kAppearTimer:
            m_root->KillTimer(kAppearTimer);
            if (m_current != nullptr) {
                Show();
            }
            break;
        default:
            break;
    }
}

void SToolTipWindow::OnShowTimer() {
    m_root->KillTimer(kShowTimer);
    m_root->KillTimer(kHideTimer);
    // The hide timer may have taken the tooltip away already.
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (m_current == nullptr || dispatcher == nullptr) {
        return;
    }
    platform::window::Backend& backend = dispatcher->GetBackend();
    const platform::window::Point cursor = backend.cursorPosition();
    const platform::window::Rect monitor = backend.displayBoundsNear(cursor);
    const platform::window::Rect rect =
        m_current->ComputeRect(cursor, monitor, SDispatcher::GetZoomFactor());
    m_current->SetVisible(1);
    MoveWindow(rect.x, rect.y);
    SetClientSize(rect.width, rect.height);
    m_root->SetTimer(kAppearTimer, kAppearDelayMs);
}

void SToolTipWindow::OnHideTimer() {
    m_root->KillTimer(kHideTimer);
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (m_current != nullptr && m_current->KeepsOpenWhileHovered() != 0 && IsShown() &&
        dispatcher != nullptr) {
        const platform::window::Point cursor = dispatcher->GetBackend().cursorPosition();
        if (GetWindow()->screenRect().contains(cursor)) {
            return;
        }
    }
    // A tooltip still waiting for its show delay never shows now.
    m_root->KillTimer(kShowTimer);
    m_root->KillTimer(kAppearTimer);
    Hide();
    if (m_current != nullptr) {
        m_current->ClearContent();
        m_current->SetVisible(0);
        m_current = nullptr;
    }
}
