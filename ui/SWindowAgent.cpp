#include "ui/SWindowAgent.h"

#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "platform/window/Keys.h"
#include "ui/IHoverListener.h"
#include "ui/SDispatcher.h"
#include "ui/SFontTable.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

using platform::window::MouseButton;

namespace {

uint32_t ToKeys(uint32_t modifiers) {
    using namespace platform::window;
    uint32_t keys = 0;
    if ((modifiers & kModLeftButton) != 0) {
        keys |= MK_LBUTTON;
    }
    if ((modifiers & kModRightButton) != 0) {
        keys |= MK_RBUTTON;
    }
    if ((modifiers & kModMiddleButton) != 0) {
        keys |= MK_MBUTTON;
    }
    if ((modifiers & kModShift) != 0) {
        keys |= MK_SHIFT;
    }
    if ((modifiers & kModControl) != 0) {
        keys |= MK_CONTROL;
    }
    return keys;
}

void CollectFocusable(SWindowBase* widget, std::vector<SWindowBase*>& out) {
    // A hidden or disabled widget hides its whole subtree from Tab, not only itself.
    if (widget->IsCreated() == 0 || widget->GetVisible() == 0 || widget->GetEnabled() == 0) {
        return;
    }
    if (widget->IsFocusable() != 0) {
        out.push_back(widget);
    }
    for (SWindowBase* child : widget->GetPaintOrder()) {
        CollectFocusable(child, out);
    }
}

// Whether `a` comes before `b` when the window is read: the upper row first, and in one row
// (the two overlap vertically by half the smaller height) the one the line starts with.
bool ReadsBefore(const SRect& a, const SRect& b, bool rightToLeft) {
    const double overlap = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    const double half = std::min(a.Height(), b.Height()) / 2;
    if (overlap < half || half <= 0) {
        return a.top < b.top;
    }
    return rightToLeft ? a.right > b.right : a.left < b.left;
}

// Sorts the focusable widgets into reading order. An insertion sort: it keeps the tree's order
// among equals and needs no strict ordering from the row test, and a window has few of them.
void SortInReadingOrder(std::vector<SWindowBase*>& widgets, bool rightToLeft) {
    std::vector<SRect> rects;
    rects.reserve(widgets.size());
    for (SWindowBase* widget : widgets) {
        rects.push_back(widget->GetRect(SWindowBase::kRectInFrame, 0));
    }
    for (std::size_t i = 1; i < widgets.size(); ++i) {
        std::size_t j = i;
        while (j > 0 && ReadsBefore(rects[j], rects[j - 1], rightToLeft)) {
            std::swap(rects[j], rects[j - 1]);
            std::swap(widgets[j], widgets[j - 1]);
            --j;
        }
    }
}

}  // namespace

SWindowAgent::SWindowAgent(SWindowFrame* frame) : m_frame(frame) {}

SWindowAgent::~SWindowAgent() {
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->ForgetAgent(this);
    }
}

void SWindowAgent::Init(int layered) {
    fullRepaint = layered != 0 ? 0 : 1;
    host = layered != 0 ? this : nullptr;
    m_background = layered != 0 ? 0xFF000000u : 0x00FFFFFFu;
}

void SWindowAgent::SetTranslucent() {
    m_translucent = true;
    m_background = 0xFF000000u;
}

// ---------------------------------------------------------------- geometry and services

SSize SWindowAgent::GetLogicalSize() const {
    if (m_frame == nullptr) {
        return SSize(m_clientWidth, m_clientHeight);
    }
    return m_frame->logicalSize;
}

double SWindowAgent::GetZoom() const {
    return m_frame != nullptr ? m_frame->zoom : 1.0;
}

bool SWindowAgent::IsRightToLeft() const {
    return m_frame != nullptr && m_frame->rightToLeft != 0 &&
           SFontTable::Instance().IsRightToLeft();
}

bool SWindowAgent::HasWindow() const {
    return m_frame != nullptr && m_frame->GetWindow() != nullptr;
}

SRect SWindowAgent::ClientToScreen(const SRect& rect) const {
    if (!HasWindow()) {
        return rect;
    }
    const platform::window::Rect screen = m_frame->GetWindow()->screenRect();
    return rect.Offset(screen.x, screen.y);
}

int SWindowAgent::GetWheelScrollLines() const {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    return dispatcher != nullptr ? dispatcher->GetBackend().wheelScrollLines() : 3;
}

int SWindowAgent::SetCapture(SWindowBase* widget) {
    m_captured = widget;
    if (HasWindow()) {
        m_frame->GetWindow()->setCapture();
    }
    return 1;
}

int SWindowAgent::ReleaseCapture() {
    m_captured = nullptr;
    if (HasWindow()) {
        m_frame->GetWindow()->releaseCapture();
    }
    return 1;
}

void SWindowAgent::SetFocus(SWindowBase* widget) {
    if (widget == m_focus) {
        return;
    }
    SWindowBase* old = m_focus;
    m_focus = widget;
    if (old != nullptr) {
        old->FocusChanged(0);
    }
    if (widget != nullptr) {
        widget->FocusChanged(1);
    }
}

void SWindowAgent::ShowFocusRing(bool shown) {
    if (shown == m_focusRingShown) {
        return;
    }
    m_focusRingShown = shown;
    if (m_focus != nullptr) {
        m_focus->Invalidate();
    }
}

void SWindowAgent::RequestPaint(SWindowBase* widget) {
    if (widget == nullptr) {
        return;
    }
    SWindowBase* layer = widget->GetLayerWidget();
    m_pendingPaint = m_pendingPaint != nullptr && m_pendingPaint != layer ? m_root : layer;
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->MarkDirty(this);
    }
}

uint32_t SWindowAgent::SetTimer(SWindowBase* widget, uint32_t milliseconds) {
    uint32_t id = 1;
    while (m_timers.count(id) != 0) {
        ++id;
    }
    return SetTimer(widget, id, milliseconds);
}

uint32_t SWindowAgent::SetTimer(SWindowBase* widget, uint32_t id, uint32_t milliseconds) {
    if (!HasWindow() || widget == nullptr || !m_frame->GetWindow()->setTimer(id, milliseconds)) {
        return 0;
    }
    m_timers[id] = widget;
    return id;
}

int SWindowAgent::KillTimer(uint32_t id) {
    if (HasWindow()) {
        m_frame->GetWindow()->killTimer(id);
    }
    return m_timers.erase(id) != 0 ? 1 : 0;
}

SWindowBase* SWindowAgent::TimerOwner(uint32_t id) const {
    const auto it = m_timers.find(id);
    return it == m_timers.end() ? nullptr : it->second;
}

void SWindowAgent::SetCursor(platform::window::Cursor cursor) {
    if (HasWindow()) {
        m_frame->GetWindow()->setCursor(cursor);
    }
}

void SWindowAgent::WidgetDestroyed(SWindowBase* widget) {
    if (m_hovered == widget) {
        m_hovered = nullptr;
        // A listener that keeps the hovered widget must not be left pointing at a dead one.
        if (hoverListener != nullptr) {
            hoverListener->HoveredWidgetChanged(nullptr, m_frame);
        }
    }
    if (m_focus == widget) {
        m_focus = nullptr;
    }
    if (m_captured == widget) {
        ReleaseCapture();
        m_dragPoint = SPoint(kNoDrag, kNoDrag);
    }
    if (m_dropTargetWidget == widget) {
        m_dropTargetWidget = nullptr;
    }
    if (m_pendingPaint == widget) {
        m_pendingPaint = widget == m_root ? nullptr : m_root;
    }
    // A tick for a widget that is gone would reach freed memory.
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->second == widget) {
            if (HasWindow()) {
                m_frame->GetWindow()->killTimer(it->first);
            }
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

// ---------------------------------------------------------------- input

SMouseEventArgs SWindowAgent::MakeEvent(int x, int y, uint32_t modifiers) const {
    SMouseEventArgs event(x, y);
    event.keys = ToKeys(modifiers);
    event.rect = SRect(0, 0, m_clientWidth, m_clientHeight);
    return event;
}

void SWindowAgent::PushModifiers(uint32_t modifiers) {
    if (m_root == nullptr) {
        return;
    }
    const uint32_t keys = ToKeys(modifiers);
    const int control = (keys & MK_CONTROL) != 0 ? MK_CONTROL : 0;
    const int shift = (keys & MK_SHIFT) != 0 ? MK_SHIFT : 0;
    // The whole tree is walked only when a state actually changes.
    if (m_root->GetInheritedStateA() != control) {
        m_root->SetInheritedStateA(control);
    }
    if (m_root->GetInheritedStateB() != shift) {
        m_root->SetInheritedStateB(shift);
    }
}

void SWindowAgent::UpdateCursor(SMouseEventArgs& event) {
    const int handled =
        m_captured != nullptr ? m_captured->SetCursor(event, 1) : m_root->SetCursor(event, 0);
    if (handled == 0) {
        SetCursor(platform::window::Cursor::Arrow);
    }
}

void SWindowAgent::DragWindow() {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr || !HasWindow()) {
        return;
    }
    const platform::window::Point cursor = dispatcher->GetBackend().cursorPosition();
    m_frame->GetWindow()->move(cursor.x - static_cast<int>(m_dragPoint.x),
                               cursor.y - static_cast<int>(m_dragPoint.y));
}

void SWindowAgent::OnMouseMove(int x, int y, uint32_t modifiers) {
    if (inputBlocked != 0 || m_root == nullptr) {
        return;
    }
    PushModifiers(modifiers);
    if (IsDragging()) {
        DragWindow();
        return;
    }
    SMouseEventArgs event = MakeEvent(x, y, modifiers);
    SWindowBase* target =
        m_captured != nullptr ? m_captured->MouseMove(event, 1) : m_root->MouseMove(event, 0);
    if (m_root == nullptr) {
        return;  // the handler destroyed the tree
    }
    UpdateCursor(event);
    if (target == m_hovered) {
        return;
    }
    if (m_hovered != nullptr) {
        m_hovered->MouseLeave();
    } else if (HasWindow() && !m_frame->GetWindow()->trackMouseLeave()) {
        _Log(LOG_INFO, "SWindowAgent::OnMouseMove", __LINE__,
             "TrackMouseEvent() returns FALSE. (ERROR CODE: 0x%08x)", 0u);
    }
    m_hovered = target;
    if (hoverListener != nullptr) {
        hoverListener->HoveredWidgetChanged(target, m_frame);
    }
}

void SWindowAgent::HoverMovingTo(SWindowBase* widget) {
    if (m_hovered == nullptr || m_hovered == widget) {
        return;
    }
    SWindowBase* previous = m_hovered;
    m_hovered = nullptr;
    previous->MouseLeave();
}

void SWindowAgent::OnMouseLeave() {
    SWindowBase* hovered = m_hovered;
    m_hovered = nullptr;
    if (hovered != nullptr) {
        hovered->MouseLeave();
        if (hoverListener != nullptr) {
            hoverListener->HoveredWidgetChanged(nullptr, m_frame);
        }
    }
}

void SWindowAgent::OnButtonDown(MouseButton button, int x, int y, uint32_t modifiers, int clicks) {
    if (inputBlocked != 0 || m_root == nullptr) {
        return;
    }
    PushModifiers(modifiers);
    ShowFocusRing(false);
    SMouseEventArgs event = MakeEvent(x, y, modifiers);
    event.clicks = clicks;
    if (button == MouseButton::Left) {
        if (clicks >= 2 && m_frame != nullptr && m_frame->doubleClicks != 0) {
            m_root->LButtonDoubleClick(event, 0);
            return;
        }
        // The caption test the desktop makes before every press decides whether this press
        // starts dragging the window.
        m_root->HitTestArea(event, 0);
        m_root->LButtonDown(event, 0);
    } else if (button == MouseButton::Right) {
        m_root->RButtonDown(event, 0);
    }
}

void SWindowAgent::OnButtonUp(MouseButton button, int x, int y, uint32_t modifiers) {
    if (inputBlocked != 0 || m_root == nullptr) {
        return;
    }
    PushModifiers(modifiers);
    SMouseEventArgs event = MakeEvent(x, y, modifiers);
    if (button == MouseButton::Left) {
        if (m_captured != nullptr) {
            m_captured->LButtonUp(event, 1);
        } else {
            m_root->LButtonUp(event, 0);
        }
    } else if (button == MouseButton::Right) {
        if (m_captured != nullptr) {
            m_captured->RButtonUp(event, 1);
        } else {
            m_root->RButtonUp(event, 0);
        }
    }
}

void SWindowAgent::OnDoubleClick(int x, int y, uint32_t modifiers) {
    if (inputBlocked != 0 || m_root == nullptr) {
        return;
    }
    PushModifiers(modifiers);
    SMouseEventArgs event = MakeEvent(x, y, modifiers);
    m_root->LButtonDoubleClick(event, 0);
}

void SWindowAgent::OnWheel(int x, int y, int delta, uint32_t modifiers) {
    if (inputBlocked != 0 || m_root == nullptr) {
        return;
    }
    PushModifiers(modifiers);
    SMouseEventArgs event = MakeEvent(x, y, modifiers);
    event.wheelDelta = delta;
    if (m_captured != nullptr) {
        m_captured->MouseWheel(event, 1);
    } else {
        m_root->MouseWheel(event, 0);
    }
}

void SWindowAgent::OnTimer(uint32_t id) {
    if (SWindowBase* widget = TimerOwner(id)) {
        widget->Timer(id);
    }
}

void SWindowAgent::OnActivate(int state) {
    m_active = state != 0;
    if (m_root == nullptr) {
        return;
    }
    m_root->Activate(state);
    if (m_focus != nullptr) {
        m_focus->FocusChanged(1);
    }
}

void SWindowAgent::OnDropFiles(const std::vector<std::string>& files, int x, int y) {
    if (m_root == nullptr || files.empty()) {
        return;
    }
    const SPoint point(x, y);
    m_root->DragEnter(files, 0, point);
    if (m_root != nullptr) {
        m_root->Drop(0, point, 1);
    }
}

SWindowBase* SWindowAgent::NextFocusable(SWindowBase* from, bool backwards) const {
    std::vector<SWindowBase*> order;
    CollectFocusable(m_root, order);
    SortInReadingOrder(order, IsRightToLeft());
    if (order.empty()) {
        return nullptr;
    }
    const auto it = std::find(order.begin(), order.end(), from);
    if (it == order.end()) {
        return backwards ? order.back() : order.front();
    }
    const std::size_t index = static_cast<std::size_t>(it - order.begin());
    const std::size_t count = order.size();
    return order[backwards ? (index + count - 1) % count : (index + 1) % count];
}

int SWindowAgent::OnKey(const SKeyMessage& message) {
    namespace keys = platform::window::keys;
    if (m_root == nullptr) {
        return 0;
    }
    const bool tab = message.message == WM_KEYDOWN && message.key == keys::kTab &&
                     tabNavigation != 0 && (message.modifiers & (FCONTROL | FALT)) == 0;
    if (m_focus == nullptr) {
        if (!tab) {
            return 0;
        }
        SWindowBase* first = NextFocusable(nullptr, (message.modifiers & FSHIFT) != 0);
        ShowFocusRing(true);
        SetFocus(first);
        return first != nullptr ? 1 : 0;
    }
    if (m_focus->PreTranslateKey(message) != 0) {
        return 1;
    }
    if (m_focus == nullptr) {
        return 1;
    }
    if (tab) {
        ShowFocusRing(true);
        SetFocus(NextFocusable(m_focus, (message.modifiers & FSHIFT) != 0));
        return 1;
    }
    if (message.message == WM_KEYUP ||
        (message.message == WM_SYSKEYUP && message.key == keys::kF10)) {
        return m_focus->KeyUp(message.key, message.flags) != 0 ? 1 : 0;
    }
    if (message.message == WM_KEYDOWN ||
        (message.message == WM_SYSKEYDOWN && message.key == keys::kF10)) {
        return m_focus->KeyDown(message.key, message.flags) != 0 ? 1 : 0;
    }
    return 0;
}

int SWindowAgent::NcHitTest(int x, int y) {
    if (resizable != 0 && maximized == 0 && fullScreen == 0) {
        const int w = m_clientWidth;
        const int h = m_clientHeight;
        const int b = kBorderBand;
        const int g = kGripSize;
        if (y < b && x >= b && x < w - b) {
            return HTTOP;
        }
        if (y >= h - b && x >= b && x < w - g) {
            return HTBOTTOM;
        }
        if (x < b && y >= b && y < h - b) {
            return HTLEFT;
        }
        if (x >= w - b && y >= b && y < h - g) {
            return HTRIGHT;
        }
        if (x < b && y < b) {
            return HTTOPLEFT;
        }
        if (x >= w - b && y < b) {
            return HTTOPRIGHT;
        }
        if (x < b && y >= h - b) {
            return HTBOTTOMLEFT;
        }
        if (x >= w - g && y >= h - g) {
            return HTBOTTOMRIGHT;
        }
    }
    if (m_root == nullptr) {
        return HTCLIENT;
    }
    SMouseEventArgs event = MakeEvent(x, y, 0);
    return m_root->HitTestArea(event, 0);
}

bool SWindowAgent::IsDragHandleAt(int x, int y) {
    if (m_root == nullptr) {
        return false;
    }
    const SMouseEventArgs event = MakeEvent(x, y, 0);
    return m_root->HitTest(event, 0)->IsDragHandle() != 0;
}

// ---------------------------------------------------------------- frame events

void SWindowAgent::CreateDC() {
    const double zoom = GetZoom();
    m_dc = std::make_unique<SDC>();
    m_dc->scale = zoom;
    m_dc->mirrored = IsRightToLeft() ? 1 : 0;
    m_dc->frame = m_frame;
    m_dc->drawFilter = drawFilter;
    const int layered = (fullRepaint == 0 || m_translucent) ? 1 : 0;
    m_dc->Init(SRect(0, 0, m_clientWidth / zoom, m_clientHeight / zoom), layered);
}

void SWindowAgent::OnSize(int width, int height) {
    m_clientWidth = width;
    m_clientHeight = height;
    CreateDC();
    if (m_root != nullptr) {
        const SSize logical = GetLogicalSize();
        m_root->SetFrameRect(SRect(0, 0, logical.width, logical.height));
        m_root->ArrangeChildren();
        RequestPaint(m_root);
    }
}

void SWindowAgent::OnShowOrMove() {
    m_pendingPaint = m_root;
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->MarkDirty(this);
    }
}

void SWindowAgent::OnExpose() {
    // The window lost its pixels: the last picture is shown again, or a first one painted.
    if (m_paintCount > 0 && m_pendingPaint == nullptr) {
        PresentFrame();
        return;
    }
    OnShowOrMove();
}

void SWindowAgent::OnDestroy() {
    if (m_root != nullptr) {
        m_root->Destroy();
    }
    for (const auto& [id, widget] : m_timers) {
        if (HasWindow()) {
            m_frame->GetWindow()->killTimer(id);
        }
    }
    m_timers.clear();
    m_captured = m_hovered = m_focus = m_pendingPaint = m_dropTargetWidget = nullptr;
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->ForgetAgent(this);
    }
}

// ---------------------------------------------------------------- painting

void SWindowAgent::Paint() {
    if (paintSuspended != 0 || m_pendingPaint == nullptr || m_root == nullptr || !m_dc ||
        !HasWindow()) {
        return;
    }
    SWindowBase* widget = fullRepaint != 0 ? m_root : m_pendingPaint;
    m_pendingPaint = nullptr;
    widget->Repaint();
    ++m_paintCount;
}

SDC* SWindowAgent::RenderLayer(SWindowBase* widget) {
    if (!m_dc || m_root == nullptr) {
        return nullptr;
    }
    IRendering* rendering = m_dc->GetRendering();
    const int clipDepth = rendering->GetClipDepth();
    const bool whole = widget == nullptr || widget == m_root || fullRepaint != 0 || frameMode != 0;
    SRect area(0, 0, m_dc->pixelWidth, m_dc->pixelHeight);
    if (!whole) {
        // Only the layer's area is drawn again; everything under it is redrawn with it.
        const SRect layer = widget->GetRect(SWindowBase::kRectInFrame, 0);
        area = SRect(std::floor(layer.left), std::floor(layer.top), std::ceil(layer.right),
                     std::ceil(layer.bottom))
                   .Intersect(area);
        rendering->SetClip(area.left, area.top, area.Width(), area.Height());
    }
    if (SColor(m_background).IsInvisible()) {
        rendering->ClearRect(area.left, area.top, area.Width(), area.Height());
    } else {
        rendering->DrawRoundRect(area.left, area.top, area.Width(), area.Height(), m_background, 0,
                                 0);
    }
    m_dc->visibleArea = m_root->GetRect(SWindowBase::kRectInParent, 0);
    m_dc->scrollRect = m_dc->visibleArea;
    m_root->Render(*m_dc);
    rendering->RestoreClipDepth(clipDepth);
    return m_dc.get();
}

void SWindowAgent::FilterFrame(SDC& frameCopy) {
    if (drawFilter != nullptr && drawFilter != this) {
        drawFilter->FilterFrame(frameCopy);
    }
}

void SWindowAgent::SetDrawFilter(SDrawFilterDelegate* filter) {
    drawFilter = filter;
    if (m_dc) {
        m_dc->drawFilter = filter;
    }
}

void SWindowAgent::PresentFrame() {
    if (!HasWindow() || !m_dc || m_dc->GetSurface() == nullptr) {
        return;
    }
    platform::window::Window* window = m_frame->GetWindow();
    // A layered frame's constant opacity is the window's opacity.
    if (m_dc->opaque == 0 && m_dc->alpha != m_appliedAlpha) {
        m_appliedAlpha = m_dc->alpha;
        window->setOpacity(m_dc->alpha / 255.0);
    }
    if (drawFilter == nullptr) {
        window->present(m_dc->GetSurface());
        return;
    }
    // The filter marks up a copy, so the frame's own picture stays clean for the next paint.
    SDC copy;
    copy.scale = m_dc->scale;
    copy.frame = m_frame;
    copy.Init(m_dc->rect, m_dc->opaque != 0 ? 0 : 1);
    copy.GetRendering()->CopyRect(m_dc->GetSurface(), 0, 0, 0, 0, m_dc->pixelWidth,
                                  m_dc->pixelHeight);
    FilterFrame(copy);
    window->present(copy.GetSurface());
}
