#include "ui/SDialogFrame.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Log.h"
#include "platform/window/Keys.h"
#include "services/SLocale.h"
#include "ui/SButton.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SZoomingTransition.h"

namespace {

constexpr int kEasingSineIn = 13;
constexpr int kEasingSineOut = 14;

// The open dialogs in creation order, with serial numbers so a close posted from another
// thread finds out whether its dialog still exists. UI thread only.
struct OpenDialog {
    SDialogFrame* dialog;
    uint64_t serial;
};
std::vector<OpenDialog> g_openDialogs;
uint64_t g_nextSerial = 1;

bool IsOpen(const SDialogFrame* dialog, uint64_t serial) {
    return std::any_of(g_openDialogs.begin(), g_openDialogs.end(), [&](const OpenDialog& open) {
        return open.dialog == dialog && open.serial == serial;
    });
}

}  // namespace

SDialogFrame::SDialogFrame() : m_serial(g_nextSerial++) {
    zoomMode = 1;
}

SDialogFrame::~SDialogFrame() {
    // The tree goes while the members it is made of still exist.
    Destroy();
}

SSize SDialogFrame::LargestCard() {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr) {
        return SSize(std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
    }
    const platform::window::Rect area =
        dispatcher->GetBackend().displayBoundsNear(platform::window::Point{});
    const double zoom = SDispatcher::GetZoomFactor();
    return SSize(std::floor(area.width / zoom) - 2 * kShadow,
                 std::floor(area.height / zoom) - 2 * kShadow);
}

int SDialogFrame::CreateDialog(SWindowFrame* ownerFrame, const std::string& title,
                               const SSize& size) {
    if (IsWindow()) {
        return 1;
    }
    m_title = title;
    const double zoom = SDispatcher::GetZoomFactor();
    const int width = static_cast<int>(std::ceil((size.width + 2 * kShadow) * zoom));
    const int height = static_cast<int>(std::ceil((size.height + 2 * kShadow) * zoom));
    SFrameOptions options;
    // The window list, task switcher and screen readers name the window by this title.
    options.title = title.empty() ? AfxGetStrRes("MNU_AuralisManager") : title;
    options.owner = ownerFrame != nullptr && ownerFrame->IsWindow() ? ownerFrame : nullptr;
    options.style = platform::window::kStyleBorderless | platform::window::kStyleSkipTaskbar |
                    platform::window::kStyleTranslucent | platform::window::kStyleDialog;
    const platform::window::Rect place = PlaceOverOwner(options.owner, width, height);
    options.rect = SRect::FromSize(place.x, place.y, width, height);
    return Create(options);
}

platform::window::Rect SDialogFrame::PlaceOverOwner(SWindowFrame* ownerFrame, int width,
                                                    int height) {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    platform::window::Rect owner{0, 0, 0, 0};
    if (ownerFrame != nullptr && ownerFrame->IsWindow()) {
        owner = ownerFrame->GetWindow()->screenRect();
    }
    const platform::window::Point centre{owner.x + owner.width / 2, owner.y + owner.height / 2};
    const platform::window::Rect area = dispatcher != nullptr
                                            ? dispatcher->GetBackend().displayBoundsNear(centre)
                                            : platform::window::Rect{0, 0, width, height};
    if (owner.width <= 0 || owner.height <= 0) {
        owner = area;
    }
    return FitInArea(platform::window::Rect{owner.x + (owner.width - width) / 2,
                                            owner.y + (owner.height - height) / 2, width, height},
                     area);
}

platform::window::Rect SDialogFrame::FitInArea(platform::window::Rect rect,
                                               const platform::window::Rect& area) {
    // Wholly inside the work area; one larger than the area keeps its top left corner (and
    // with it the title row) on the screen.
    rect.x = std::max(area.x, std::min(rect.x, area.x + area.width - rect.width));
    rect.y = std::max(area.y, std::min(rect.y, area.y + area.height - rect.height));
    return rect;
}

int SDialogFrame::OnCreate() {
    // Every dialog can be worked from the keyboard: Tab walks its buttons.
    agent.tabNavigation = 1;
    m_root.SetParentFrame(this);
    m_root.CreateRoot(&agent, "MainPanel");
    // Transparent: the background panel draws the card and its shadow.
    m_root.SetBackgroundColor(SColor::kTransparent);
    m_background.LoadPopupSlices();
    m_background.Create("SMainPanel", &m_root, SMargin(0, 0, 0, 0), SSize());
    m_titleBar.Create("DialogTitleBar", &m_root, SMargin(kShadow, kShadow, kShadow, -1),
                      SSize(0, SDialogTitleBar::kHeight));
    m_titleBar.SetTitle(m_title);
    m_titleBar.SetButtonDelegate(this);
    m_contentArea.Create(
        "ContentArea", &m_root,
        SMargin(kShadow, kShadow + SDialogTitleBar::kHeight, kShadow, kContentBottom), SSize(), 1);
    closedEvent.reset();
    m_closing = 0;
    m_closeAnimationRunning = 0;
    g_openDialogs.push_back({this, m_serial});
    OnCreateContent();
    return 0;
}

void SDialogFrame::SetTitle(const std::string& title) {
    m_title = title;
    m_titleBar.SetTitle(title);
    if (platform::window::Window* window = GetWindow()) {
        window->setTitle(title);
    }
}

void SDialogFrame::StartOpeningAnimation() {
    std::unique_ptr<SDC> snapshot = m_root.RenderSnapshot();
    auto transition = std::make_unique<SZoomingTransition>();
    transition->incoming = std::move(snapshot);
    m_root.StartAnimation(kRootAnimationKey, kZoomMs, 1, kEasingSineOut, std::move(transition), 0);
}

void SDialogFrame::ShowDialog() {
    if (!IsWindow()) {
        return;
    }
    StartOpeningAnimation();
    Show();
    GetWindow()->takeFocus();
}

int SDialogFrame::DoModal(SWindowFrame* ownerFrame, const std::string& title, const SSize& size) {
    if (CreateDialog(ownerFrame, title, size) == 0) {
        return 0;
    }
    StartOpeningAnimation();
    SFrameOptions options;
    options.owner = ownerFrame;
    return SWindowFrame::DoModal(options);
}

void SDialogFrame::CloseDialog(int animated) {
    if (!IsWindow()) {
        return;
    }
    if (animated == 0) {
        m_closing = 1;
        OnClose();
        return;
    }
    if (m_closing != 0) {
        return;
    }
    m_closing = 1;
    std::unique_ptr<SDC> snapshot = m_root.RenderSnapshot();
    // Only the snapshot is drawn from now on.
    m_background.SetVisible(0);
    auto transition = std::make_unique<SZoomingTransition>();
    transition->outgoing = std::move(snapshot);
    m_root.StartAnimation(kRootAnimationKey, kZoomMs, 1, kEasingSineIn, std::move(transition), 0);
    m_closeAnimationRunning = 1;
}

void SDialogFrame::OnRootAnimationEnd(int key) {
    if (key != kRootAnimationKey || m_closeAnimationRunning == 0 || !IsWindow()) {
        return;
    }
    m_closeAnimationRunning = 0;
    // The last frame of the zoom is empty; the tree is not drawn again before the window goes.
    m_root.SetSuspended(1);
    PostClose();
}

void SDialogFrame::PostToDialog(std::function<void()> call) {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr || !call) {
        return;
    }
    const uint64_t serial = m_serial;
    dispatcher->GetBackend().postCall([this, serial, call = std::move(call)] {
        if (IsOpen(this, serial)) {
            call();
        }
    });
}

void SDialogFrame::PostCloseDialog() {
    PostToDialog([this] { CloseDialog(1); });
}

void SDialogFrame::OnCancelKey() {
    if (m_titleBar.GetCloseButton().GetOwnVisible() != 0) {
        OnCloseButton();
    }
}

int SDialogFrame::PreTranslateKey(const SKeyMessage& message) {
    namespace keys = platform::window::keys;
    const bool plainKeyDown = message.message == WM_KEYDOWN && message.flags == 0 &&
                              (message.modifiers & (FCONTROL | FALT)) == 0;
    if (plainKeyDown && message.key == keys::kEscape) {
        if (IsClosing() == 0) {
            OnCancelKey();
        }
        return 1;
    }
    if (plainKeyDown && message.key == keys::kReturn) {
        if (IsClosing() == 0 && OnDefaultKey() != 0) {
            return 1;
        }
    }
    return SWindowFrame::PreTranslateKey(message);
}

void SDialogFrame::OnClose() {
    if (m_closing != 0) {
        SWindowFrame::OnClose();
    } else if (closeAllowed != 0) {
        CloseDialog(1);
    }
}

void SDialogFrame::OnCloseButton() {
    CloseDialog(1);
}

void SDialogFrame::ButtonClicked(SButton* button) {
    if (button != nullptr && button->GetName() == "CloseButton") {
        OnCloseButton();
    }
}

void SDialogFrame::OnDestroy() {
    // A dialog shown without a modal run of its own gives the keyboard back here (DoModal
    // does so itself once the owner is enabled again).
    if (!IsModalRunning() && owner != nullptr && owner->IsWindow() && GetWindow() != nullptr &&
        GetWindow()->isVisible()) {
        owner->GetWindow()->takeFocus();
    }
    closedEvent.signal();
    std::erase_if(g_openDialogs, [this](const OpenDialog& open) { return open.dialog == this; });
    m_root.SetSuspended(0);
}

std::vector<SDialogFrame*> SDialogFrame::GetOpenDialogs() {
    std::vector<SDialogFrame*> dialogs;
    for (const OpenDialog& open : g_openDialogs) {
        dialogs.push_back(open.dialog);
    }
    return dialogs;
}

void SDialogFrame::CloseAllDialogs() {
    const std::vector<SDialogFrame*> dialogs = GetOpenDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        (*it)->CloseDialog(0);
    }
}
