#pragma once

#include "ui/SWindowBase.h"

class IScrollBarDelegate;

// What every scroll bar does: it takes the content extent, the visible extent and a position,
// keeps the position within 0 .. content - visible, and reports every change to its delegate.
// Dragging the thumb and paging on the track are handled here; subclasses paint.
class SScrollBarBase : public SWindowBase {
public:
    enum Orientation : int { kVertical = 0, kHorizontal = 1 };

    explicit SScrollBarBase(int orientation);
    const char* GetClassName() const override { return "SScrollBarBase"; }

    void SetDelegate(IScrollBarDelegate* delegate) { m_delegate = delegate; }
    // New extents; the position is clamped to them (and the change reported).
    void SetExtents(double contentExtent, double visibleExtent);
    // Clamps and stores the position; reports it when it changed. Returns 1 when it changed.
    int SetPosition(double position);
    double GetPosition() const { return m_position; }
    double GetMaxPosition() const;
    double GetContentExtent() const { return m_content; }
    double GetVisibleExtent() const { return m_visible; }
    int GetOrientation() const { return m_orientation; }
    // Breadth of the bar across its axis, in logical units.
    virtual double GetThickness() const = 0;

    int OnLButtonDown(const SMouseEventArgs& event) override;
    int OnMouseMove(const SMouseEventArgs& event) override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    int OnMouseEnter(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;

protected:
    // The thumb's start and length along the bar, in local units.
    void ThumbSpan(double& start, double& length);
    double Along(const SPoint& point) const;
    double TrackLength();
    bool IsDraggingThumb() const { return m_dragging; }

    int m_orientation;
    double m_content = 0;
    double m_visible = 0;
    double m_position = 0;
    IScrollBarDelegate* m_delegate = nullptr;
    bool m_dragging = false;
    double m_grabOffset = 0;

private:
    static constexpr double kMinimumThumb = 16;
};
