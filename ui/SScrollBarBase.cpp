#include "ui/SScrollBarBase.h"

#include <algorithm>

#include "ui/IScrollBarDelegate.h"

SScrollBarBase::SScrollBarBase(int orientation) : m_orientation(orientation) {}

double SScrollBarBase::GetMaxPosition() const {
    return std::max(0.0, m_content - m_visible);
}

void SScrollBarBase::SetExtents(double contentExtent, double visibleExtent) {
    const bool changed = contentExtent != m_content || visibleExtent != m_visible;
    m_content = std::max(0.0, contentExtent);
    m_visible = std::max(0.0, visibleExtent);
    SetPosition(m_position);
    if (changed) {
        Invalidate();
    }
}

int SScrollBarBase::SetPosition(double position) {
    const double clamped = std::clamp(position, 0.0, GetMaxPosition());
    if (clamped == m_position) {
        return 0;
    }
    m_position = clamped;
    Invalidate();
    if (m_delegate != nullptr) {
        m_delegate->ScrollBarPositionChanged(this, m_position);
    }
    return 1;
}

double SScrollBarBase::TrackLength() {
    const SRect own = GetRect(kRectOwnLogical, 0);
    return m_orientation == kVertical ? own.Height() : own.Width();
}

void SScrollBarBase::ThumbSpan(double& start, double& length) {
    const double track = TrackLength();
    if (m_content <= 0 || m_visible >= m_content) {
        start = 0;
        length = track;
        return;
    }
    length = std::min(track, std::max(kMinimumThumb, track * m_visible / m_content));
    const double travel = track - length;
    start = GetMaxPosition() > 0 ? travel * m_position / GetMaxPosition() : 0;
}

double SScrollBarBase::Along(const SPoint& point) const {
    return m_orientation == kVertical ? point.y : point.x;
}

int SScrollBarBase::OnLButtonDown(const SMouseEventArgs& event) {
    double start = 0;
    double length = 0;
    ThumbSpan(start, length);
    const double at = Along(event.point);
    if (at >= start && at <= start + length) {
        m_dragging = true;
        m_grabOffset = at - start;
        SetCapture();
        Invalidate();
        return 1;
    }
    // A press on the track pages towards it.
    SetPosition(m_position + (at < start ? -m_visible : m_visible));
    return 1;
}

int SScrollBarBase::OnMouseMove(const SMouseEventArgs& event) {
    if (!m_dragging) {
        return 1;
    }
    double start = 0;
    double length = 0;
    ThumbSpan(start, length);
    const double travel = TrackLength() - length;
    if (travel > 0) {
        const double thumbStart = Along(event.point) - m_grabOffset;
        SetPosition(thumbStart / travel * GetMaxPosition());
    }
    return 1;
}

int SScrollBarBase::OnLButtonUp(const SMouseEventArgs&) {
    if (m_dragging) {
        m_dragging = false;
        ReleaseCapture();
        Invalidate();
    }
    return 1;
}

int SScrollBarBase::OnMouseEnter(const SMouseEventArgs&) {
    Invalidate();
    return 1;
}

void SScrollBarBase::OnMouseLeave() {
    Invalidate();
}
