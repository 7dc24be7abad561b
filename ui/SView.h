#pragma once

#include <memory>
#include <vector>

#include "ui/IScrollBarDelegate.h"
#include "ui/SScrollBarFactory.h"
#include "ui/SWindowBase.h"

// A widget with a scrollable content area. Children created with fixed = 0 live in the content
// (their layout extent is the content size and they move with the scroll offset); fixed ones
// stay put (the scroll bars are such). The bars appear when the content exceeds the client area.
//
// The wheel: deltas of the same sign accumulate, a reversal starts afresh; the step in logical
// units is (-accumulated x lines x 25) / 120 rounded to the nearest, with the desktop's lines per
// notch (3). The view always reports the wheel as handled.
class SView : public SWindowBase, public IScrollBarDelegate {
public:
    SView();
    ~SView() override;

    const char* GetClassName() const override { return "SView"; }
    int IsScrollable() override { return 1; }

    void SetContentSize(const SSize& size);
    const SSize& GetContentExtent() const { return m_contentSize; }
    // The content size, at least the client area.
    SSize GetContentSize() override;
    void SetPadding(const SMargin& padding);
    const SMargin& GetPadding() const { return m_padding; }
    // GetRect minus the padding (scaled for the pixel kinds, mirrored right to left).
    SRect GetClientRect(int kind) override;
    // Only before the view is created.
    void SetScrollBarFactory(std::unique_ptr<SScrollBarFactory> factory);

    // Scrolls through the bars (so the position is clamped); x or y < 0 leaves that axis.
    void ScrollTo(double x, double y);
    SScrollBarBase* GetVerticalBar() const { return m_verticalBar.get(); }
    SScrollBarBase* GetHorizontalBar() const { return m_horizontalBar.get(); }
    double GetWheelAccumulator() const { return m_wheelAccumulator; }

    void AddChild(SWindowBase* child) override;
    int RemoveChild(SWindowBase* child) override;
    std::vector<SWindowBase*> GetPaintOrder() const override;
    int ArrangeChildren() override;
    void OnCreate() override;
    void OnSize(double width, double height) override;
    int OnMouseWheel(const SMouseEventArgs& event) override;

    // IScrollBarDelegate
    void ScrollBarPositionChanged(SScrollBarBase* bar, double position) override;

    virtual void OnScroll(int orientation, double position);
    virtual void OnScrollHook() {}

protected:
    void CreateScrollBars();

    SSize m_contentSize;
    // Declared before the bars so it outlives them when the bars unlink themselves.
    std::vector<SWindowBase*> m_scrolledChildren;
    SMargin m_padding;
    double m_wheelAccumulator = 0;
    int m_barsCreated = 0;
    std::unique_ptr<SScrollBarFactory> m_factory;
    std::unique_ptr<SScrollBarBase> m_verticalBar;
    std::unique_ptr<SScrollBarBase> m_horizontalBar;
};
