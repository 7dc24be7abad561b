#include "ui/SView.h"

#include <algorithm>
#include <cmath>

#include "ui/SWindowAgent.h"

namespace {

// a x b / c rounded half away from zero, as the desktop's MulDiv does.
long MulDiv(long a, long b, long c) {
    return c == 0 ? 0 : std::lround(static_cast<double>(a) * static_cast<double>(b) / c);
}

constexpr double kWheelStepPerLine = 25;
constexpr int kWheelDelta = 120;

}  // namespace

SView::SView() : m_factory(std::make_unique<SScrollBarFactory>()) {}

SView::~SView() {
    // The scrolled children are only known here; they must not keep pointing at this view.
    // The bars go with the view, so they leave the child list first.
    if (m_verticalBar) {
        RemoveChild(m_verticalBar.get());
    }
    if (m_horizontalBar) {
        RemoveChild(m_horizontalBar.get());
    }
    OrphanChildren();
    m_scrolledChildren.clear();
}

void SView::SetScrollBarFactory(std::unique_ptr<SScrollBarFactory> factory) {
    if (factory && m_barsCreated == 0) {
        m_factory = std::move(factory);
    }
}

void SView::AddChild(SWindowBase* child) {
    if (child->IsFixed() != 0) {
        SWindowBase::AddChild(child);
    } else {
        m_scrolledChildren.push_back(child);
    }
}

int SView::RemoveChild(SWindowBase* child) {
    const auto it = std::find(m_scrolledChildren.begin(), m_scrolledChildren.end(), child);
    if (it != m_scrolledChildren.end()) {
        m_scrolledChildren.erase(it);
        return 1;
    }
    return SWindowBase::RemoveChild(child);
}

std::vector<SWindowBase*> SView::GetPaintOrder() const {
    std::vector<SWindowBase*> order = m_scrolledChildren;
    order.insert(order.end(), m_children.begin(), m_children.end());
    return order;
}

void SView::SetContentSize(const SSize& size) {
    m_contentSize = size;
    if (m_created != 0) {
        ArrangeChildren();
    }
    Invalidate();
}

SSize SView::GetContentSize() {
    const SRect client = GetClientRect(kRectOwnLogical);
    return SSize(std::max(m_contentSize.width, client.Width()),
                 std::max(m_contentSize.height, client.Height()));
}

void SView::SetPadding(const SMargin& padding) {
    m_padding = padding;
    if (m_created != 0) {
        ArrangeChildren();
    }
}

SRect SView::GetClientRect(int kind) {
    SRect rect = GetRect(kind, 1);
    const double factor = kind == kRectInParent || kind == kRectOwnLogical ? 1.0 : GetZoom();
    double left = m_padding.left;
    double right = m_padding.right;
    if (IsRightToLeft()) {
        std::swap(left, right);
    }
    rect.left += left * factor;
    rect.top += m_padding.top * factor;
    rect.right -= right * factor;
    rect.bottom -= m_padding.bottom * factor;
    return rect;
}

void SView::OnCreate() {
    CreateScrollBars();
}

void SView::CreateScrollBars() {
    if (m_barsCreated != 0) {
        return;
    }
    m_verticalBar = m_factory->Create(SScrollBarBase::kVertical);
    m_horizontalBar = m_factory->Create(SScrollBarBase::kHorizontal);
    const double vThickness = m_verticalBar->GetThickness();
    const double hThickness = m_horizontalBar->GetThickness();
    m_verticalBar->Create("VerticalScrollBar", this, SMargin(-1, 0, 0, 0), SSize(vThickness, 0), 0,
                          1);
    m_horizontalBar->Create("HorizontalScrollBar", this, SMargin(0, -1, 0, 0), SSize(0, hThickness),
                            0, 1);
    m_verticalBar->SetDelegate(this);
    m_horizontalBar->SetDelegate(this);
    m_barsCreated = 1;
    ArrangeChildren();
}

int SView::ArrangeChildren() {
    SWindowBase::ArrangeChildren();
    if (m_barsCreated == 0 || m_created == 0) {
        return 1;
    }
    const SRect client = GetClientRect(kRectOwnLogical);
    const bool vertical = m_contentSize.height > client.Height();
    const bool horizontal = m_contentSize.width > client.Width();
    const double vThickness = m_verticalBar->GetThickness();
    const double hThickness = m_horizontalBar->GetThickness();
    m_verticalBar->SetMargin(SMargin(-1, m_padding.top, m_padding.right,
                                     m_padding.bottom + (horizontal ? hThickness : 0)));
    m_horizontalBar->SetMargin(SMargin(
        m_padding.left, -1, m_padding.right + (vertical ? vThickness : 0), m_padding.bottom));
    m_verticalBar->SetExtents(m_contentSize.height, client.Height());
    m_horizontalBar->SetExtents(m_contentSize.width, client.Width());
    m_verticalBar->SetVisible(vertical ? 1 : 0);
    m_horizontalBar->SetVisible(horizontal ? 1 : 0);
    return 1;
}

void SView::OnSize(double, double) {
    ArrangeChildren();
}

void SView::ScrollTo(double x, double y) {
    if (m_barsCreated == 0) {
        return;
    }
    if (x >= 0) {
        m_horizontalBar->SetPosition(x);
    }
    if (y >= 0) {
        m_verticalBar->SetPosition(y);
    }
}

int SView::OnMouseWheel(const SMouseEventArgs& event) {
    const int delta = event.wheelDelta;
    const bool sameDirection =
        (delta > 0 && m_wheelAccumulator > 0) || (delta < 0 && m_wheelAccumulator < 0);
    m_wheelAccumulator = sameDirection ? m_wheelAccumulator + delta : delta;
    SWindowAgent* agent = GetAgent();
    const int lines = agent != nullptr ? agent->GetWheelScrollLines() : 3;
    if (lines >= 1) {
        const long step = MulDiv(-static_cast<long>(m_wheelAccumulator),
                                 lines * static_cast<long>(kWheelStepPerLine), kWheelDelta);
        if (step != 0) {
            m_wheelAccumulator = 0;
            if (m_barsCreated != 0) {
                m_verticalBar->SetPosition(m_scrollOffset.y + step);
            }
        }
    }
    return 1;
}

void SView::ScrollBarPositionChanged(SScrollBarBase* bar, double position) {
    const double whole = std::trunc(position);
    const int orientation = bar->GetOrientation();
    if (orientation == SScrollBarBase::kVertical) {
        m_scrollOffset.y = whole;
    } else {
        m_scrollOffset.x = whole;
    }
    Invalidate();
    OnScroll(orientation, whole);
}

void SView::OnScroll(int, double) {}
