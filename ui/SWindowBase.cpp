#include "ui/SWindowBase.h"

#include <algorithm>
#include <cmath>

#include "ui/IDropTargetDelegate.h"
#include "ui/ISizeListener.h"
#include "ui/IToolTipHost.h"
#include "ui/SDC.h"
#include "ui/SPalette.h"
#include "ui/STextFitMonitor.h"
#include "ui/SWindowAgent.h"

namespace {

constexpr uint32_t kNoContentHideDelay = 10;

// One horizontal or vertical axis of the layout rule.
void LayoutAxis(double nearMargin, double farMargin, double length, double extent, double& start,
                double& end) {
    if (nearMargin < 0 && farMargin < 0) {
        // Centred. An unset near margin (-1) keeps the widget from going below 0 even when it
        // is wider than its parent.
        start = std::max(extent / 2 - length / 2, nearMargin + 1);
        end = start + length;
        return;
    }
    start = nearMargin >= 0 ? nearMargin : extent - farMargin - length;
    end = farMargin >= 0 ? extent - farMargin : start + length;
}

bool FlushOnOneAxis(const SMargin& m) {
    return (m.left == 0 && m.right == 0) || (m.top == 0 && m.bottom == 0);
}

bool AnchoredOnBothSidesOfAnAxis(const SMargin& m) {
    return (m.left >= 0 && m.right >= 0) || (m.top >= 0 && m.bottom >= 0);
}

}  // namespace

SWindowBase::SWindowBase() = default;

SWindowBase::~SWindowBase() {
    // A widget whose memory goes while it is still linked must not leave dangling pointers in
    // its parent, its children or the agent.
    if (m_parent == nullptr && m_agent == nullptr) {
        return;
    }
    DropAgentReferences();
    OrphanChildren();
    if (m_agent != nullptr) {
        m_agent->SetRoot(nullptr);
        m_agent = nullptr;
    }
    if (m_parent != nullptr) {
        m_parent->RemoveChild(this);
        m_parent = nullptr;
    }
}

// ---------------------------------------------------------------- creation and destruction

void SWindowBase::OrphanChildren() {
    for (SWindowBase* child : GetPaintOrder()) {
        child->m_parent = nullptr;
    }
}

int SWindowBase::Create(const std::string& name, SWindowBase* parent, const SMargin* margin,
                        const SSize& size, int visible, int fixed) {
    if (parent == nullptr) {
        return 0;
    }
    m_fixed = fixed;
    m_margin = margin != nullptr ? *margin : SMargin(0, 0, 0, 0);
    ApplySize(size);
    m_parent = parent;
    m_name = name;
    m_created = 1;
    parent->AddChild(this);
    SetVisible(visible);
    OnCreate();
    return 1;
}

int SWindowBase::Create(const std::string& name, SWindowBase* parent, const SMargin& margin,
                        const SSize& size, int visible, int fixed) {
    return Create(name, parent, &margin, size, visible, fixed);
}

int SWindowBase::CreateRoot(SWindowAgent* agent, const std::string& name) {
    if (agent == nullptr) {
        return 0;
    }
    m_agent = agent;
    agent->SetRoot(this);
    m_margin = SMargin(0, 0, -1, -1);
    m_size = agent->GetLogicalSize();
    m_name = name;
    m_created = 1;
    OnCreate();
    SetVisible(1);
    return 1;
}

void SWindowBase::DropAgentReferences() {
    if (SWindowAgent* agent = GetAgent()) {
        agent->WidgetDestroyed(this);
    }
}

int SWindowBase::Destroy() {
    if (m_parent == nullptr && m_agent == nullptr) {
        return 0;
    }
    OnDestroy();
    DropAgentReferences();
    m_created = 0;
    for (SWindowBase* child : GetPaintOrder()) {
        child->Destroy();
    }
    if (m_agent != nullptr) {
        m_agent->SetRoot(nullptr);
        m_agent = nullptr;
    }
    if (m_parent != nullptr) {
        m_parent->RemoveChild(this);
        m_parent = nullptr;
    }
    OnDestroyed();
    return 1;
}

void SWindowBase::OnDestroyed() {
    // The focus went with DropAgentReferences; a tooltip that showed for this widget goes too.
    if (m_tooltipEnabled != 0) {
        RestartToolTipHideTimer();
    }
}

// ---------------------------------------------------------------- tree

std::vector<SWindowBase*> SWindowBase::GetPaintOrder() const {
    return m_children;
}

SWindowBase* SWindowBase::FindChild(const std::string& name) const {
    for (SWindowBase* child : GetPaintOrder()) {
        if (child->m_name == name) {
            return child;
        }
    }
    return nullptr;
}

void SWindowBase::AddChild(SWindowBase* child) {
    m_children.push_back(child);
}

int SWindowBase::RemoveChild(SWindowBase* child) {
    const auto it = std::find(m_children.begin(), m_children.end(), child);
    if (it == m_children.end()) {
        return 0;
    }
    m_children.erase(it);
    return 1;
}

SWindowBase* SWindowBase::GetRootWidget() {
    SWindowBase* widget = this;
    while (widget->m_parent != nullptr) {
        widget = widget->m_parent;
    }
    return widget;
}

SWindowAgent* SWindowBase::GetAgent() {
    for (SWindowBase* widget = this; widget != nullptr; widget = widget->m_parent) {
        if (widget->m_host != nullptr) {
            return widget->m_host;
        }
        if (widget->m_agent != nullptr) {
            return widget->m_agent;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------- geometry

double SWindowBase::GetZoom() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->GetZoom() : 1.0;
}

bool SWindowBase::IsRightToLeft() {
    for (const SWindowBase* widget = this; widget != nullptr; widget = widget->m_parent) {
        if (widget->m_keepsPhysicalSides != 0) {
            return false;
        }
    }
    SWindowAgent* agent = GetAgent();
    return agent != nullptr && agent->IsRightToLeft();
}

bool SWindowBase::PlacedRightToLeft() {
    return m_parent != nullptr ? m_parent->IsRightToLeft() : IsRightToLeft();
}

SSize SWindowBase::ParentExtent() {
    if (m_parent == nullptr) {
        SWindowAgent* agent = GetAgent();
        return agent != nullptr ? agent->GetLogicalSize() : m_size;
    }
    if (m_parent->IsScrollable() != 0 && m_fixed == 0) {
        return m_parent->GetContentSize();
    }
    return m_parent->GetRect(kRectOwnLogical, 0).Size();
}

SRect SWindowBase::ComputeLayoutRect() {
    const SSize extent = ParentExtent();
    SRect rect;
    LayoutAxis(m_margin.left, m_margin.right, m_size.width, extent.width, rect.left, rect.right);
    LayoutAxis(m_margin.top, m_margin.bottom, m_size.height, extent.height, rect.top, rect.bottom);
    const bool rightToLeft = PlacedRightToLeft();
    if (rightToLeft) {
        const double left = extent.width - rect.right;
        rect.right = extent.width - rect.left;
        rect.left = left;
    }
    if (m_parent != nullptr && m_parent->StacksChildren() != 0) {
        const double offset = m_parent->ChildStackOffset(this);
        if (m_parent->StackIsHorizontal() != 0) {
            const double width = rect.Width();
            rect.left = rightToLeft ? extent.width - offset - width : offset;
            rect.right = rect.left + width;
        } else {
            const double height = rect.Height();
            rect.top = offset;
            rect.bottom = offset + height;
        }
    }
    return rect;
}

SRect SWindowBase::GetRect(int kind, int refresh) {
    if (refresh != 0) {
        BeforeGetRect();
    }
    const SRect layout = ComputeLayoutRect();
    const double zoom = GetZoom();
    switch (kind) {
        case kRectOwnScaled:
            return SRect(0, 0, layout.Width() * zoom, layout.Height() * zoom);
        case kRectOwnLogical:
            return SRect(0, 0, layout.Width(), layout.Height());
        default:
            break;
    }
    SRect inParent = layout;
    if (m_parent != nullptr && m_parent->IsScrollable() != 0 && m_fixed == 0) {
        const SPoint& scroll = m_parent->m_scrollOffset;
        const double dx = PlacedRightToLeft() ? scroll.x : -scroll.x;
        inParent = inParent.Offset(dx, -scroll.y);
    }
    if (kind == kRectInParent) {
        return inParent;
    }
    const SRect parentRect =
        m_parent != nullptr ? m_parent->GetRect(kRectInFrame, 0) : SRect(0, 0, 0, 0);
    SRect inFrame(parentRect.left + inParent.left * zoom, parentRect.top + inParent.top * zoom,
                  parentRect.left + inParent.right * zoom, parentRect.top + inParent.bottom * zoom);
    if (m_ownLayer != 0) {
        inFrame = SRect(std::trunc(inFrame.left), std::trunc(inFrame.top),
                        std::trunc(inFrame.right + 0.5), std::trunc(inFrame.bottom + 0.5));
    }
    if (kind == kRectOnScreen) {
        SWindowAgent* agent = GetAgent();
        return agent != nullptr ? agent->ClientToScreen(inFrame) : inFrame;
    }
    return inFrame;
}

SRect SWindowBase::GetClientRect(int kind) {
    return GetRect(kind, 1);
}

SPoint SWindowBase::ClientToLocal(const SPoint& framePixels) {
    const SRect rect = GetRect(kRectInFrame, 0);
    const double zoom = GetZoom();
    const double x = IsRightToLeft() ? rect.right - framePixels.x : framePixels.x - rect.left;
    return SPoint(x / zoom, (framePixels.y - rect.top) / zoom);
}

void SWindowBase::ApplySize(const SSize& size) {
    if (size == m_size) {
        return;
    }
    m_size = size;
    if (m_sizeListener != nullptr) {
        m_sizeListener->OnWidgetSizeChanged(this, static_cast<int>(size.width),
                                            static_cast<int>(size.height));
    }
    OnSize(size.width, size.height);
}

void SWindowBase::SetMargin(const SMargin& margin) {
    m_margin = margin;
    if (m_created != 0) {
        ArrangeChildren();
    }
}

void SWindowBase::SetSize(const SSize& size) {
    ApplySize(size);
    if (m_created != 0) {
        ArrangeChildren();
    }
}

void SWindowBase::SetFrameRect(const SRect& rect) {
    m_margin = SMargin(rect.left, rect.top, -1, -1);
    m_size = SSize(rect.Width(), rect.Height());
    Resize(rect.Width(), rect.Height());
}

void SWindowBase::Resize(double width, double height) {
    OnSize(width, height);
    for (SWindowBase* child : GetPaintOrder()) {
        if (FlushOnOneAxis(child->m_margin)) {
            child->Resize(width, height);
        }
    }
}

int SWindowBase::ArrangeChildren() {
    if (m_created == 0) {
        return 1;
    }
    m_inLayout = 1;
    for (SWindowBase* child : GetPaintOrder()) {
        if (AnchoredOnBothSidesOfAnAxis(child->m_margin)) {
            child->ArrangeChildren();
        }
    }
    m_inLayout = 0;
    return 1;
}

double SWindowBase::ChildStackOffset(SWindowBase*) {
    return 0;
}

SSize SWindowBase::GetContentSize() {
    return GetRect(kRectOwnLogical, 0).Size();
}

// ---------------------------------------------------------------- state

int SWindowBase::GetVisible() {
    for (SWindowBase* widget = this; widget != nullptr; widget = widget->m_parent) {
        if (!widget->IsVisibleSelf()) {
            return 0;
        }
        if (widget->m_parent == nullptr) {
            return widget->m_agent != nullptr || widget->m_host != nullptr ? 1 : 0;
        }
    }
    return 0;
}

int SWindowBase::GetEnabled() {
    for (SWindowBase* widget = this; widget != nullptr; widget = widget->m_parent) {
        if (widget->m_enabled == 0) {
            return 0;
        }
    }
    return 1;
}

void SWindowBase::SetVisible(int visible) {
    if (visible == m_visible) {
        return;
    }
    m_visible = visible;
    PropagateVisible(visible);
    Invalidate();
    // Hiding leaves the widget's old pixels on screen unless what lies under it is drawn
    // again: the visible parent repaints that area.
    if (visible == 0 && m_parent != nullptr) {
        m_parent->Invalidate();
    }
}

void SWindowBase::PropagateVisible(int visible) {
    for (SWindowBase* child : GetPaintOrder()) {
        child->PropagateVisible(visible);
    }
    if (visible != 0 && m_firstShown == 0) {
        m_firstShown = 1;
        OnFirstShow();
    }
    OnVisibleChanged(visible);
}

void SWindowBase::OnVisibleChanged(int visible) {
    if (visible != 0) {
        ArrangeChildren();
    }
}

void SWindowBase::SetEnabled(int enabled) {
    const bool changed = enabled != m_enabled;
    m_enabled = enabled;
    PropagateEnabled(enabled);
    if (changed) {
        Invalidate();
    }
}

void SWindowBase::PropagateEnabled(int enabled) {
    for (SWindowBase* child : GetPaintOrder()) {
        child->PropagateEnabled(enabled);
    }
    OnEnabledChanged(enabled);
}

int SWindowBase::HasFocus() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr && agent->GetFocus() == this ? 1 : 0;
}

void SWindowBase::SetFocus() {
    if (SWindowAgent* agent = GetAgent()) {
        agent->SetFocus(this);
    }
}

void SWindowBase::SetOwnLayer(int ownLayer) {
    m_ownLayer = ownLayer;
}

void SWindowBase::SetInheritedStateA(int value) {
    m_inheritedStateA = value;
    for (SWindowBase* child : GetPaintOrder()) {
        child->SetInheritedStateA(value);
    }
}

void SWindowBase::SetInheritedStateB(int value) {
    m_inheritedStateB = value;
    for (SWindowBase* child : GetPaintOrder()) {
        child->SetInheritedStateB(value);
    }
}

void SWindowBase::ResetHoveredWidget() {
    if (SWindowAgent* agent = GetAgent()) {
        agent->ClearHovered();
    }
}

// ---------------------------------------------------------------- services

uint32_t SWindowBase::SetTimer(uint32_t id, uint32_t milliseconds) {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->SetTimer(this, id, milliseconds) : 0;
}

int SWindowBase::KillTimer(uint32_t id) {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->KillTimer(id) : 0;
}

int SWindowBase::SetCapture() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->SetCapture(this) : 0;
}

int SWindowBase::ReleaseCapture() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->ReleaseCapture() : 0;
}

int SWindowBase::HasCapture() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr && agent->GetCaptured() == this ? 1 : 0;
}

void SWindowBase::Invalidate() {
    if (GetVisible() == 0) {
        return;
    }
    if (SWindowAgent* agent = GetAgent()) {
        agent->RequestPaint(this);
    }
}

void SWindowBase::SetCursorShape(platform::window::Cursor cursor) {
    if (SWindowAgent* agent = GetAgent()) {
        agent->SetCursor(cursor);
    }
}

void SWindowBase::SetToolTip(std::unique_ptr<SToolTipContent> content) {
    m_tooltipContent = std::move(content);
    if (m_tooltipContent) {
        m_tooltipContent->widget = this;
        m_tooltipEnabled = 1;
    }
}

void SWindowBase::RestartToolTipHideTimer() {
    if (IToolTipHost* host = IToolTipHost::Get()) {
        host->RestartHideTimer(m_tooltipContent ? m_tooltipContent->hideDelay
                                                : kNoContentHideDelay);
    }
}

// ---------------------------------------------------------------- default hooks

void SWindowBase::OnPaint(SDC&) {}

void SWindowBase::OnDrawFocusRing(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const double inset = kFocusRingWidth / 2;
    const SRect ring(own.left + inset, own.top + inset, own.right - inset, own.bottom - inset);
    if (ring.IsEmpty()) {
        return;
    }
    const double radius = std::min(kFocusRingRadius, std::min(ring.Width(), ring.Height()) / 2);
    dc.DrawRoundRect(ring, SPalette::kFocusRing, kFocusRingWidth, radius);
}
int SWindowBase::OnMouseMove(const SMouseEventArgs&) {
    return 1;
}
int SWindowBase::OnLButtonUp(const SMouseEventArgs&) {
    return 1;
}
int SWindowBase::OnLButtonDown(const SMouseEventArgs&) {
    return 1;
}
void SWindowBase::OnSize(double, double) {}
int SWindowBase::OnLButtonDoubleClick(const SMouseEventArgs&) {
    return 1;
}
int SWindowBase::OnRButtonUp(const SMouseEventArgs&) {
    return 1;
}
int SWindowBase::OnRButtonDown(const SMouseEventArgs&) {
    return 1;
}
int SWindowBase::OnMouseWheel(const SMouseEventArgs&) {
    return 0;
}
int SWindowBase::OnMouseEnter(const SMouseEventArgs&) {
    return 1;
}
int SWindowBase::OnHitTestArea(const SMouseEventArgs&) {
    return kHitClient;
}
int SWindowBase::OnSetCursor(const SMouseEventArgs&) {
    return 0;
}

// ---------------------------------------------------------------- input routing

SMouseEventArgs SWindowBase::Localize(const SMouseEventArgs& event) {
    SMouseEventArgs local = event;
    local.framePoint = event.point;
    local.point = ClientToLocal(event.point);
    return local;
}

bool SWindowBase::IsInputGated() {
    // The target's own animations decide; without any, the nearest animating ancestor does.
    for (SWindowBase* widget = this; widget != nullptr; widget = widget->m_parent) {
        if (widget->IsAnimating() != 0) {
            return widget->acceptsInputWhileAnimating == 0;
        }
    }
    return false;
}

SWindowBase* SWindowBase::HitTest(const SMouseEventArgs& event, int includeDisabled) {
    const std::vector<SWindowBase*> order = GetPaintOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        SWindowBase* child = *it;
        if (child->GetVisible() == 0) {
            continue;
        }
        if (includeDisabled == 0 && child->GetEnabled() == 0) {
            continue;
        }
        if (child->GetRect(kRectInFrame, 0).Contains(event.point)) {
            return child->HitTest(event, includeDisabled);
        }
    }
    return this;
}

SWindowBase* SWindowBase::ChooseTarget(SMouseEventArgs& event, int targetChosen,
                                       int includeDisabled) {
    return targetChosen != 0 ? this : HitTest(event, includeDisabled);
}

SWindowBase* SWindowBase::MouseMove(SMouseEventArgs& event, int targetChosen) {
    SWindowAgent* agent = GetAgent();
    const int includeDisabled = agent != nullptr ? agent->includeDisabledOnHover : 0;
    SWindowBase* target = ChooseTarget(event, targetChosen, includeDisabled);
    const SMouseEventArgs local = target->Localize(event);
    if (target->m_hovered == 0) {
        if (SWindowAgent* hoverAgent = GetAgent()) {
            hoverAgent->HoverMovingTo(target);
        }
        target->m_hovered = 1;
        target->OnMouseEnter(local);
        if (target->m_tooltipEnabled != 0) {
            if (IToolTipHost* host = IToolTipHost::Get()) {
                host->ShowToolTip(target, target->m_tooltipContent.get());
            }
        }
    }
    target->OnMouseMove(local);
    return target;
}

void SWindowBase::MouseLeave() {
    m_hovered = 0;
    RestartToolTipHideTimer();
    OnMouseLeave();
}

int SWindowBase::MouseButton(MouseButtonAction action, SMouseEventArgs& event, int targetChosen) {
    using enum MouseButtonAction;
    SWindowBase* target = ChooseTarget(event, targetChosen, 0);
    if (target->IsInputGated()) {
        return 0;
    }
    SWindowAgent* agent = GetAgent();
    if (target->m_dragHandle != 0 && (action == LeftDown || action == LeftUp)) {
        // A press on the caption starts moving the window (SWindowAgent::OnMouseMove follows
        // the pointer); the release ends it.
        if (action == LeftDown) {
            target->SetCapture();
        } else {
            target->ReleaseCapture();
        }
        if (agent != nullptr) {
            agent->SetDragPoint(action == LeftDown
                                    ? event.point
                                    : SPoint(SWindowAgent::kNoDrag, SWindowAgent::kNoDrag));
        }
        return 1;
    }
    const bool press = action == LeftDown || action == RightDown;
    if ((press || action == LeftUp) && target->m_tooltipEnabled != 0) {
        target->RestartToolTipHideTimer();
    }
    if (press && target->m_focusable != 0 && target->HasFocus() == 0 && agent != nullptr) {
        agent->SetFocus(target);
    }
    const SMouseEventArgs local = target->Localize(event);
    switch (action) {
        case LeftDown:
            return target->OnLButtonDown(local);
        case LeftUp:
            return target->OnLButtonUp(local);
        case LeftDoubleClick:
            return target->OnLButtonDoubleClick(local);
        case RightDown:
            return target->OnRButtonDown(local);
        case RightUp:
            return target->OnRButtonUp(local);
    }
    return 0;
}

int SWindowBase::LButtonDown(SMouseEventArgs& event, int targetChosen) {
    return MouseButton(MouseButtonAction::LeftDown, event, targetChosen);
}

int SWindowBase::LButtonUp(SMouseEventArgs& event, int targetChosen) {
    return MouseButton(MouseButtonAction::LeftUp, event, targetChosen);
}

int SWindowBase::LButtonDoubleClick(SMouseEventArgs& event, int targetChosen) {
    return MouseButton(MouseButtonAction::LeftDoubleClick, event, targetChosen);
}

int SWindowBase::RButtonUp(SMouseEventArgs& event, int targetChosen) {
    return MouseButton(MouseButtonAction::RightUp, event, targetChosen);
}

int SWindowBase::RButtonDown(SMouseEventArgs& event, int targetChosen) {
    return MouseButton(MouseButtonAction::RightDown, event, targetChosen);
}

int SWindowBase::MouseWheel(SMouseEventArgs& event, int targetChosen) {
    SWindowBase* target = ChooseTarget(event, targetChosen, 0);
    for (SWindowBase* widget = target; widget != nullptr; widget = widget->m_parent) {
        if (widget->OnMouseWheel(widget->Localize(event)) != 0) {
            return 1;
        }
    }
    return 0;
}

int SWindowBase::HitTestArea(SMouseEventArgs& event, int targetChosen) {
    SWindowBase* target = ChooseTarget(event, targetChosen, 0);
    const int code = target->OnHitTestArea(target->Localize(event));
    if (code == kHitCaption) {
        target->m_dragHandle = 1;
        return kHitClient;
    }
    target->m_dragHandle = 0;
    return code;
}

int SWindowBase::SetCursor(SMouseEventArgs& event, int targetChosen) {
    SWindowAgent* agent = GetAgent();
    const int includeDisabled = agent != nullptr ? agent->includeDisabledOnHover : 0;
    SWindowBase* target = ChooseTarget(event, targetChosen, includeDisabled);
    return target->OnSetCursor(target->Localize(event));
}

int SWindowBase::PreTranslateKey(const SKeyMessage&) {
    return 0;
}

void SWindowBase::Activate(int state) {
    OnActivate(state);
    for (SWindowBase* child : GetPaintOrder()) {
        child->Activate(state);
    }
}

void SWindowBase::BroadcastNotifyA(int value) {
    OnBroadcastNotifyA(value);
    for (SWindowBase* child : GetPaintOrder()) {
        child->BroadcastNotifyA(value);
    }
}

void SWindowBase::BroadcastNotifyB() {
    OnBroadcastNotifyB();
    for (SWindowBase* child : GetPaintOrder()) {
        child->BroadcastNotifyB();
    }
}

void SWindowBase::BroadcastNotifyC() {
    OnBroadcastNotifyC();
    for (SWindowBase* child : GetPaintOrder()) {
        child->BroadcastNotifyC();
    }
}

void SWindowBase::BroadcastNotifyD(int value) {
    OnBroadcastNotifyD(value);
    for (SWindowBase* child : GetPaintOrder()) {
        child->BroadcastNotifyD(value);
    }
}

void SWindowBase::Timer(uint32_t id) {
    OnTimer(id);
}

void SWindowBase::FocusChanged(int gained) {
    if (gained != 0) {
        OnSetFocus();
    } else {
        OnKillFocus();
    }
}

int SWindowBase::KeyDown(int key, uint32_t flags) {
    return m_parent != nullptr ? m_parent->KeyDown(key, flags) : 0;
}

int SWindowBase::KeyUp(int key, uint32_t flags) {
    return m_parent != nullptr ? m_parent->KeyUp(key, flags) : 0;
}

int SWindowBase::DragEnter(const std::vector<std::string>& files, uint32_t keys,
                           const SPoint& point) {
    SWindowAgent* agent = GetAgent();
    SMouseEventArgs event(point.x, point.y);
    SWindowBase* widget = HitTest(event, 0);
    while (widget != nullptr && widget->m_dropTarget == nullptr) {
        widget = widget->m_parent;
    }
    if (agent != nullptr) {
        agent->SetDropTargetWidget(widget);
    }
    if (widget == nullptr) {
        return 0;
    }
    return widget->m_dropTarget->OnDragEnter(widget, files, keys, widget->ClientToLocal(point));
}

int SWindowBase::DragOver(const SPoint& point) {
    SWindowAgent* agent = GetAgent();
    SWindowBase* widget = agent != nullptr ? agent->GetDropTargetWidget() : nullptr;
    if (widget == nullptr || widget->m_dropTarget == nullptr) {
        return 0;
    }
    return widget->m_dropTarget->OnDragOver(widget, widget->ClientToLocal(point));
}

int SWindowBase::Drop(uint32_t keys, const SPoint& point, int effect) {
    SWindowAgent* agent = GetAgent();
    SWindowBase* widget = agent != nullptr ? agent->GetDropTargetWidget() : nullptr;
    if (widget == nullptr || widget->m_dropTarget == nullptr) {
        return 0;
    }
    const int result =
        widget->m_dropTarget->OnDrop(widget, keys, widget->ClientToLocal(point), effect);
    agent->SetDropTargetWidget(nullptr);
    return result;
}

void SWindowBase::DragLeave() {
    SWindowAgent* agent = GetAgent();
    SWindowBase* widget = agent != nullptr ? agent->GetDropTargetWidget() : nullptr;
    if (widget != nullptr && widget->m_dropTarget != nullptr) {
        widget->m_dropTarget->OnDragLeave(widget);
    }
    if (agent != nullptr) {
        agent->SetDropTargetWidget(nullptr);
    }
}

// ---------------------------------------------------------------- painting

SWindowBase* SWindowBase::GetLayerWidget() {
    if (GetFrameMode() != 0) {
        return GetRootWidget();
    }
    for (SWindowBase* widget = this; widget != nullptr; widget = widget->m_parent) {
        if (widget->m_ownLayer != 0 || widget->IsScrollable() != 0 || widget->m_parent == nullptr) {
            return widget;
        }
    }
    return this;
}

IWindowBase* SWindowBase::GetLayer() {
    return GetLayerWidget();
}

int SWindowBase::GetFrameMode() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->frameMode : 0;
}

SDC* SWindowBase::RenderLayer() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->RenderLayer(GetLayerWidget()) : nullptr;
}

void SWindowBase::Repaint() {
    if (SDC* dc = RenderLayer()) {
        Present(dc);
    }
}

void SWindowBase::Present(SDC* dc) {
    if (m_agent != nullptr && dc == m_agent->GetDC()) {
        m_agent->PresentFrame();
    }
    if (m_parent != nullptr) {
        m_parent->Present(dc);
    }
}

std::unique_ptr<SDC> SWindowBase::RenderSnapshot() {
    SWindowAgent* agent = GetAgent();
    if (agent == nullptr) {
        return nullptr;
    }
    const double zoom = GetZoom();
    const SRect pixels = GetRect(kRectInFrame, 0);
    // The snapshot covers the widget where the frame would draw it, so the tree walk's own
    // clipping and placement work unchanged; drawing it back moves it wherever it goes.
    const SRect logical(pixels.left / zoom, pixels.top / zoom, pixels.right / zoom,
                        pixels.bottom / zoom);
    auto dc = std::make_unique<SDC>();
    dc->scale = zoom;
    if (const SDC* frameDc = agent->GetDC()) {
        dc->mirrored = frameDc->mirrored;
        dc->frame = frameDc->frame;
    }
    if (dc->Init(logical, 1) == 0) {
        return dc;
    }
    dc->visibleArea = logical;
    dc->scrollRect = logical;
    const int visible = m_visible;
    const int suspended = m_suspended;
    m_visible = 1;
    m_suspended = 0;
    Render(*dc);
    m_visible = visible;
    m_suspended = suspended;
    return dc;
}

bool SWindowBase::ScrollableInChain() {
    for (SWindowBase* widget = this; widget != nullptr; widget = widget->m_parent) {
        if (widget->IsScrollable() != 0) {
            return true;
        }
    }
    return false;
}

namespace {

// Clip boxes snap to whole pixels so neighbouring widgets share their edges exactly.
SRect SnapToPixels(const SRect& pixels) {
    return SRect(std::round(pixels.left), std::round(pixels.top), std::round(pixels.right),
                 std::round(pixels.bottom));
}

}  // namespace

void SWindowBase::Render(SDC& dc) {
    if (!IsVisibleSelf()) {
        return;
    }
    IRendering* rendering = dc.GetRendering();
    if (rendering == nullptr) {
        return;
    }
    const int clipDepth = rendering->GetClipDepth();
    // The context draws in this widget's direction (the window's, unless the widget or an
    // ancestor keeps physical sides), whatever the context was made with.
    const int mirrored = dc.mirrored;
    dc.mirrored = IsRightToLeft() ? 1 : 0;
    if ((m_ownLayer != 0 || IsAnimating() != 0) && !ScrollableInChain()) {
        const SRect frame = GetRect(kRectInFrame, 0);
        const SRect clip = frame.Offset(-dc.origin.x * dc.scale, -dc.origin.y * dc.scale);
        rendering->SetClip(clip.left, clip.top, clip.Width(), clip.Height());
    }
    if (AnimationInfo* animation = GetDrawingAnimation()) {
        animation->transition->Draw(dc, *animation);
    } else {
        const STextFitMonitor::PaintingScope painting(this);
        OnPaint(dc);
        for (const auto& entry : animations) {
            OnDrawAnimation(dc, entry->key, entry->progress, entry->eased);
        }
        RenderChildren(dc);
        SWindowAgent* agent = GetAgent();
        if (agent != nullptr && agent->GetFocus() == this && agent->IsFocusRingShown()) {
            OnDrawFocusRing(dc);
        }
    }
    dc.mirrored = mirrored;
    rendering->RestoreClipDepth(clipDepth);
}

void SWindowBase::RenderChildren(SDC& dc) {
    IRendering* rendering = dc.GetRendering();
    const SRect savedVisible = dc.visibleArea;
    const SRect savedScroll = dc.scrollRect;
    const SRect own = GetRect(kRectOwnLogical, 0);
    for (SWindowBase* child : GetPaintOrder()) {
        if (!child->IsVisibleSelf()) {
            continue;
        }
        const SRect inParent = child->GetRect(kRectInParent, 0);
        const SRect shown = inParent.Intersect(own);
        if (shown.IsEmpty()) {
            continue;
        }
        const SRect clip = shown.Offset(savedVisible.left, savedVisible.top).Intersect(savedScroll);
        if (clip.IsEmpty()) {
            continue;
        }
        const int clipDepth = rendering->GetClipDepth();
        if (dc.noClip == 0) {
            const SRect pixels = SnapToPixels(dc.AbsoluteToPixels(clip));
            if (pixels.Intersect(rendering->GetActiveClip()).IsEmpty()) {
                continue;  // wholly outside the area being repainted
            }
            rendering->SetClip(pixels.left, pixels.top, pixels.Width(), pixels.Height());
        }
        dc.visibleArea = inParent.Offset(savedVisible.left, savedVisible.top);
        dc.scrollRect = clip;
        child->Render(dc);
        rendering->RestoreClipDepth(clipDepth);
    }
    dc.visibleArea = savedVisible;
    dc.scrollRect = savedScroll;
}
