#include "app/SWindowMainFrame.h"

#include <atomic>
#include <cmath>

#include "app/SAboutDialog.h"
#include "app/SMainFrameMessenger.h"
#include "app/SUpdater.h"
#include "base/Log.h"
#include "platform/window/Keys.h"
#include "ui/SButton.h"
#include "ui/SCommandLine.h"
#include "ui/SDispatcher.h"
#include "ui/SWindowBaseFinderFrame.h"

namespace {
std::atomic<SWindowMainFrame*> g_mainFrame{nullptr};
}  // namespace

SWindowMainFrame::SWindowMainFrame()
    : m_messenger(std::make_shared<SMainFrameMessenger>()), m_startUp(m_messenger) {
    g_mainFrame.store(this);
    zoomMode = 1;
    designSize = SSize(kWidth, kHeight);
}

SWindowMainFrame::~SWindowMainFrame() {
    Destroy();
    SWindowMainFrame* self = this;
    g_mainFrame.compare_exchange_strong(self, nullptr);
}

SWindowMainFrame* SWindowMainFrame::GetMainFrame() {
    return g_mainFrame.load();
}

int SWindowMainFrame::CreateMainFrame() {
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->FitZoomToWorkArea(kWidth, kHeight);
    }
    const double zoom = SDispatcher::GetZoomFactor();
    SFrameOptions options;
    options.title = "Auralis Manager";
    // The rectangle starts at 0,0 with the requested size; the window is then centred.
    options.rect = SRect(0, 0, std::ceil(kWidth * zoom), std::ceil(kHeight * zoom));
    options.centered = true;
    options.style = platform::window::kStyleBorderless;
    return Create(options);
}

// The layout, built when the native window exists.
int SWindowMainFrame::OnCreate() {
    // Tab walks the title bar's and the screens' buttons.
    GetAgent().tabNavigation = 1;
    m_root.SetBackgroundColor(kRootColour);
    m_root.CreateRoot(&GetAgent(), "MainPanel");

    const double titleHeight = m_titleBar.GetTitleBarHeight();
    m_titleBar.SetTitleBarDelegate(this);
    m_titleBar.SetButtonDelegate(this);
    m_titleBar.Create("MainTitleBar", &m_root, SMargin(kBorder, kBorder, kBorder, -1),
                      SSize(0, titleHeight));

    m_contentArea.Create("ContentArea", &m_root,
                         SMargin(kBorder, titleHeight + kBorder, kBorder, kContentBottom), SSize());
    m_contentArea.SetBackgroundColor(kContentColour);

    m_mainView.SetAboutOpener([this] { OpenAboutDialog(); });
    m_mainView.Create("Main View", &m_contentArea, SMargin(0, 0, 0, 0), SSize());

    // Top-most, over everything the frame shows; hidden until a dialog opens.
    m_dimOverlay.Create("DimOverlay", &m_root, SMargin(0, 0, 0, 0), SSize(), 0);
    m_dimOverlay.SetEnabled(0);

    AddCommandDelegate(this);
    m_menuFrame.SetClosedHandler([this] {
        // The button shows unpressed again once its menu has gone, however it went.
        m_titleBar.GetMenuButton().SetChecked(0);
        m_titleBar.GetMenuButton().Invalidate();
    });

    // "/windowbasefinder" anywhere in the arguments, also inside a longer one.
    if (SCommandLine::Contains(SWindowBaseFinderFrame::kSwitch)) {
        OpenWindowBaseFinder();
    }

    SDispatcher* dispatcher = SDispatcher::GetInstance();
    m_messenger->Attach(this, dispatcher != nullptr ? &dispatcher->GetBackend() : nullptr,
                        GetWindow()->id());
    m_startUp.AddWork(SStartUp::WT_CHECK_APP_UPDATE);
    m_startUp.doWork();
    return 0;
}

void SWindowMainFrame::OnDestroy() {
    m_messenger->Detach();
    m_menuFrame.SetClosedHandler(nullptr);
    m_menuFrame.Destroy();
    if (GetWindow() != nullptr) {
        GetWindow()->killTimer(kDimInTimer);
        GetWindow()->killTimer(kDimOutTimer);
    }
}

void SWindowMainFrame::OnClose() {
    if (m_mainView.GetDesktopCompanion().KeepsRunningOnClose() && GetWindow() != nullptr) {
        // The user chose to keep the earbuds in the tray: the link and its checks go on.
        _Log(LOG_INFO, "SWindowMainFrame::OnClose", __LINE__,
             "main window hidden, the program keeps running in the tray");
        CloseWindowMenu();
        GetWindow()->hide();
        return;
    }
    _Log(LOG_INFO, "SWindowMainFrame::OnClose", __LINE__, "main window closed");
    CloseWindowBaseFinder();
    // Destroying the main frame ends the application's loop (the quit message, exit code 0).
    Destroy();
}

// ---------------------------------------------------------------- widget inspector

void SWindowMainFrame::OpenWindowBaseFinder() {
    m_finder = SWindowBaseFinderFrame::ShowFor(*this);
}

void SWindowMainFrame::CloseWindowBaseFinder() {
    if (m_finder != nullptr) {
        SWindowBaseFinderFrame::DestroyFor(*this);
        m_finder = nullptr;
    }
}

void SWindowMainFrame::WindowBaseFinderDestroyed(SWindowBaseFinderFrame* finder) {
    if (finder == m_finder) {
        m_finder = nullptr;
    }
}

// ---------------------------------------------------------------- messages and commands

void SWindowMainFrame::OnUserMessage(int code, intptr_t param) {
    switch (code) {
        case kStartUpMessage:
            OnStartUpMsg(static_cast<int>(param), 0);
            break;
        case kUpdateMarkMessage:
            OnUpdateMark(param != 0 ? 1 : 0);
            break;
        default:
            // Commands posted by the menu; kIgnoredMessage and anything else: no effect.
            SWindowFrame::OnUserMessage(code, param);
            break;
    }
}

intptr_t SWindowMainFrame::OnStartUpMsg(int param, intptr_t object) {
    switch (param) {
        case IStartUpHost::kContinueUpdateCheck:
            _Log(LOG_INFO, "SWindowMainFrame::OnStartUpMsg", __LINE__,
                 "Start checking application update");
            // The check's first step ran on the start-up worker; its dialogs run here. The
            // object stays owned by whoever handed it over.
            if (auto* updater = reinterpret_cast<SUpdater*>(object)) {
                updater->SetAutomatic(1);
                updater->RunStates();
            }
            return 0;
        case IStartUpHost::kNextWork:
            m_startUp.doNextWork();
            return 0;
        default:
            return 0;
    }
}

void SWindowMainFrame::OnUpdateMark(int available) {
    SMenuDefinition* menu = m_titleBar.GetMenu("WindowMenu");
    SMenuEntry* about = menu != nullptr ? menu->FindCommand(SMainTitleBar::kCommandAbout) : nullptr;
    if (about == nullptr) {
        return;
    }
    if (available != 0) {
        about->state |= SMenuEntry::kStateChecked;
    } else {
        about->state &= ~SMenuEntry::kStateChecked;
    }
    about->redrawState = 0;
    m_menuFrame.GetPanel().Invalidate();
}

void SWindowMainFrame::ButtonClicked(SButton* button) {
    if (button == nullptr || GetWindow() == nullptr) {
        return;
    }
    const std::string& name = button->GetName();
    if (name == "CloseButton") {
        PostClose();
    } else if (name == "MinButton") {
        GetWindow()->minimize();
    } else if (button->GetChecked() != 0) {
        OpenWindowMenu(button);
    } else {
        // The second press of the menu button.
        CloseWindowMenu();
    }
}

void SWindowMainFrame::OpenWindowMenu(SButton* anchor) {
    SMenuDefinition* menu = m_titleBar.GetMenu("WindowMenu");
    if (menu == nullptr || anchor == nullptr || anchor->GetChecked() == 0 || m_menuFrame.IsOpen()) {
        return;
    }
    m_menuAnchor = anchor;
    // Under the button, the menu card's edge in line with the button's left edge.
    const SRect below = anchor->GetRect(SWindowBase::kRectOnScreen, 1);
    const double zoomFactor = SDispatcher::GetZoomFactor();
    const double inset = (SMenuPanel::kInsetSide - 2) * zoomFactor;
    // A menu that would hang past the window's right edge is lined up with the button's right
    // edge instead, so it stays over the window it belongs to. Right to left the menu opens
    // from the button's right edge, towards the window's inside.
    const double width = SMenuFrame::SizeFor(*menu).width * zoomFactor;
    const platform::window::Rect window = GetWindow()->screenRect();
    const double fromLeftEdge = below.left - inset;
    const double fromRightEdge = below.right + inset - width;
    double left = anchor->PlacedRightToLeft() ? fromRightEdge : fromLeftEdge;
    if (left + width > window.x + window.width) {
        left = fromRightEdge;
    } else if (left < window.x) {
        left = fromLeftEdge;
    }
    RefreshChooseEarbudsEntry(*menu);
    m_menuFrame.ResetState();
    if (m_menuFrame.Open(this, menu, static_cast<int>(left), static_cast<int>(below.bottom)) == 0) {
        anchor->SetChecked(0);
    }
}

void SWindowMainFrame::RefreshChooseEarbudsEntry(SMenuDefinition& menu) {
    if (SMenuEntry* entry = menu.FindCommand(SMainTitleBar::kCommandSyncEarBuds)) {
        if (m_mainView.CanChooseOtherEarbuds()) {
            entry->state &= ~SMenuEntry::kStateDisabled;
        } else {
            entry->state |= SMenuEntry::kStateDisabled;
        }
    }
}

void SWindowMainFrame::CloseWindowMenu() {
    m_menuFrame.CloseMenu();
}

void SWindowMainFrame::OpenAboutDialog() {
    CloseWindowMenu();
    SAboutDialog::ShowFor(this, [this](int available) { OnUpdateMark(available); });
}

int SWindowMainFrame::OnCommand(int commandId) {
    if ((commandId & 0xFFFF) == SMainTitleBar::kCommandAbout) {
        OpenAboutDialog();
        return 1;
    }
    if ((commandId & 0xFFFF) == SMainTitleBar::kCommandSyncEarBuds) {
        CloseWindowMenu();
        m_mainView.ChooseOtherEarbuds();
        return 1;
    }
    return 0;
}

int SWindowMainFrame::PreTranslateKey(const SKeyMessage& message) {
    // The menu window does not take the keyboard from the main window, so Escape arrives here.
    if (m_menuFrame.IsOpen() && message.message == WM_KEYDOWN &&
        message.key == platform::window::keys::kEscape) {
        CloseWindowMenu();
        return 1;
    }
    return SWindowFrame::PreTranslateKey(message);
}

int SWindowMainFrame::InterceptKey(const SKeyMessage& message) {
    namespace keys = platform::window::keys;
    if (!m_menuFrame.IsOpen() || message.message != WM_KEYDOWN) {
        return 0;
    }
    switch (message.key) {
        case keys::kUp:
        case keys::kDown:
        case keys::kReturn:
        case keys::kSpace:
            return m_menuFrame.PreTranslateKey(message);
        default:
            return 0;
    }
}

// ---------------------------------------------------------------- dimming

void SWindowMainFrame::OnModalState(int entered) {
    platform::window::Window* window = GetWindow();
    if (window == nullptr) {
        return;
    }
    if (entered != 0) {
        // A dialog over a dialog keeps the veil as it is: the window dims once.
        const bool first = m_openPopups.empty();
        m_openPopups.push_back(1);
        window->killTimer(kDimOutTimer);
        if (first || !m_dimmed) {
            SetDimLevel(0);
            window->killTimer(kDimInTimer);
            window->setTimer(kDimInTimer, kDimIntervalMs);
        } else if (m_dimLevel < kDimMax) {
            window->setTimer(kDimInTimer, kDimIntervalMs);
        }
        m_dimmed = true;
        m_dimOverlay.SetVisible(1);
        m_root.Invalidate();
        return;
    }
    if (!m_openPopups.empty()) {
        m_openPopups.pop_front();
    }
    if (m_openPopups.empty()) {
        SetDimLevel(kDimMax);
        window->killTimer(kDimOutTimer);
        window->setTimer(kDimOutTimer, kDimIntervalMs);
    }
    window->raise();
    m_root.Invalidate();
}

void SWindowMainFrame::onWindowEvent(const platform::window::WindowEvent& event) {
    using Type = platform::window::WindowEvent::Type;
    if (event.type == Type::FocusGained || event.type == Type::FocusLost) {
        m_focused.store(event.type == Type::FocusGained);
    }
    if (m_menuFrame.IsOpen()) {
        if (event.type == Type::FocusLost) {
            m_menuFrame.OwnerLostFocus();
        } else if (event.type == Type::ButtonDown && !IsOverMenuAnchor(event.x, event.y)) {
            // A press anywhere else in the window ends the menu; a press on its button is that
            // button's second press.
            CloseWindowMenu();
        }
    }
    if (event.type == platform::window::WindowEvent::Type::Timer &&
        (event.timerId == kDimInTimer || event.timerId == kDimOutTimer)) {
        OnDimTimer(event.timerId);
        return;
    }
    SWindowFrame::onWindowEvent(event);
}

bool SWindowMainFrame::IsOverMenuAnchor(int x, int y) {
    if (m_menuAnchor == nullptr) {
        return false;
    }
    const SRect rect = m_menuAnchor->GetRect(SWindowBase::kRectInFrame, 0);
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

void SWindowMainFrame::OnDimTimer(uint32_t id) {
    platform::window::Window* window = GetWindow();
    if (window == nullptr) {
        return;
    }
    if (id == kDimInTimer) {
        if (m_dimLevel < kDimMax) {
            SetDimLevel(m_dimLevel + kDimStep);
        } else {
            window->killTimer(kDimInTimer);
        }
        return;
    }
    if (m_dimLevel > 0) {
        SetDimLevel(m_dimLevel - kDimStep);
    }
    if (m_dimLevel <= 0) {
        m_dimmed = false;
        m_dimOverlay.SetVisible(0);
        window->killTimer(kDimOutTimer);
    }
}

void SWindowMainFrame::SetDimLevel(int level) {
    m_dimLevel = level;
    m_dimOverlay.SetLevel(level);
    m_root.Invalidate();
}
