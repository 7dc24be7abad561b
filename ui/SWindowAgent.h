#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/WindowEvent.h"
#include "platform/window/WindowTypes.h"
#include "ui/SDC.h"
#include "ui/SDrawFilterDelegate.h"
#include "ui/SKeyMessage.h"
#include "ui/SMouseEventArgs.h"
#include "ui/SPoint.h"
#include "ui/SRect.h"
#include "ui/SSize.h"

class IHoverListener;
class SWindowBase;
class SWindowFrame;

// The bridge between a frame's native window and its widget tree. It turns window events into
// IWindowBase calls on the root, keeps the frame's hover, capture, focus and timer tables, owns
// the frame's drawing context, and paints and presents the tree when the dispatcher asks.
// UI thread only.
class SWindowAgent : public SDrawFilterDelegate {
public:
    // Win32-style hit codes the border test answers with.
    enum HitCode : int {
        HTCLIENT = 1,
        HTCAPTION = 2,
        HTLEFT = 10,
        HTRIGHT = 11,
        HTTOP = 12,
        HTTOPLEFT = 13,
        HTTOPRIGHT = 14,
        HTBOTTOM = 15,
        HTBOTTOMLEFT = 16,
        HTBOTTOMRIGHT = 17,
    };
    static constexpr double kNoDrag = -10000;
    static constexpr int kBorderBand = 3;
    static constexpr int kGripSize = 15;

    explicit SWindowAgent(SWindowFrame* frame);
    ~SWindowAgent() override;
    SWindowAgent(const SWindowAgent&) = delete;
    SWindowAgent& operator=(const SWindowAgent&) = delete;

    // An ordinary window repaints in full from the root; a layered one repaints only the layer
    // that asked and is its own host.
    void Init(int layered);
    // A window whose picture keeps its alpha (rounded popups and their shadows): painted into
    // a surface with alpha, cleared to transparent, still repainted in full.
    void SetTranslucent();

    // ---- the tree
    void SetRoot(SWindowBase* root) { m_root = root; }
    SWindowBase* GetRoot() const { return m_root; }
    SWindowFrame* GetFrame() const { return m_frame; }

    // ---- window events, forwarded by the frame
    void OnSize(int width, int height);
    void OnMouseMove(int x, int y, uint32_t modifiers);
    void OnMouseLeave();
    void OnButtonDown(platform::window::MouseButton button, int x, int y, uint32_t modifiers,
                      int clicks);
    void OnButtonUp(platform::window::MouseButton button, int x, int y, uint32_t modifiers);
    void OnDoubleClick(int x, int y, uint32_t modifiers);
    void OnWheel(int x, int y, int delta, uint32_t modifiers);
    void OnTimer(uint32_t id);
    void OnActivate(int state);
    void OnShowOrMove();
    void OnExpose();
    void OnDestroy();
    void OnDropFiles(const std::vector<std::string>& files, int x, int y);
    // Keyboard: the focus widget's pre-translation, Tab navigation (Tab with nothing focused
    // focuses the first focusable widget, Shift+Tab the last), then KeyDown/KeyUp on the focus
    // widget. Returns 1 when handled.
    int OnKey(const SKeyMessage& message);
    // The border test for a client point: a resize code in the 3-pixel band (15 x 15 grip at
    // the bottom-right), else the root's HitTestArea (1 client, 2 caption).
    int NcHitTest(int x, int y);
    // Whether the widget under a client point is a drag handle (after NcHitTest marked it).
    bool IsDragHandleAt(int x, int y);

    // ---- services for widgets
    int SetCapture(SWindowBase* widget);
    int ReleaseCapture();
    SWindowBase* GetCaptured() const { return m_captured; }
    void SetFocus(SWindowBase* widget);
    SWindowBase* GetFocus() const { return m_focus; }
    // Whether the frame's window has the keyboard (the active window).
    bool IsActive() const { return m_active; }
    // Whether the focus widget shows its focus ring: from the first key that moves the focus
    // (Tab, Shift+Tab, arrows) until the next mouse press, as desktop toolkits do.
    bool IsFocusRingShown() const { return m_focusRingShown; }
    void ShowFocusRing(bool shown);
    SWindowBase* GetHovered() const { return m_hovered; }
    void ClearHovered() { m_hovered = nullptr; }
    // The pointer is entering `widget`: the widget hovered so far is told it is left now,
    // before the new one hears of the pointer (so a tooltip shown for the new widget is not
    // hidden by the old widget's leave).
    void HoverMovingTo(SWindowBase* widget);
    void RequestPaint(SWindowBase* widget);
    SRect ClientToScreen(const SRect& rect) const;
    SSize GetClientSize() const { return SSize(m_clientWidth, m_clientHeight); }
    SSize GetLogicalSize() const;
    double GetZoom() const;
    bool IsRightToLeft() const;
    // Timer with the smallest free id from 1 up; returns it, or 0 when refused.
    uint32_t SetTimer(SWindowBase* widget, uint32_t milliseconds);
    // Timer with a caller-chosen id; returns the id, or 0 when refused.
    uint32_t SetTimer(SWindowBase* widget, uint32_t id, uint32_t milliseconds);
    int KillTimer(uint32_t id);
    std::size_t TimerCount() const { return m_timers.size(); }
    SWindowBase* TimerOwner(uint32_t id) const;
    void SetCursor(platform::window::Cursor cursor);
    void SetDragPoint(const SPoint& point) { m_dragPoint = point; }
    const SPoint& GetDragPoint() const { return m_dragPoint; }
    bool IsDragging() const { return m_dragPoint.x != kNoDrag || m_dragPoint.y != kNoDrag; }
    int GetWheelScrollLines() const;
    // A widget is going away: every reference to it is dropped (hover, focus, capture, drag,
    // drop target, pending paint) and its timers are killed.
    void WidgetDestroyed(SWindowBase* widget);
    void SetDropTargetWidget(SWindowBase* widget) { m_dropTargetWidget = widget; }
    SWindowBase* GetDropTargetWidget() const { return m_dropTargetWidget; }

    // ---- painting
    bool HasWindow() const;
    // The dispatcher's paint: the pending widget's layer is rendered and presented.
    void Paint();
    // Renders the root into the frame's context, limited to the layer of `widget` unless the
    // whole frame repaints. Returns the context.
    SDC* RenderLayer(SWindowBase* widget);
    SDC* GetDC() const { return m_dc.get(); }
    void PresentFrame();
    SWindowBase* GetPendingPaint() const { return m_pendingPaint; }
    int GetPaintCount() const { return m_paintCount; }
    // The colour the frame is cleared with before the tree draws (default white; a layered
    // window starts transparent).
    void SetBackground(uint32_t colour) { m_background = colour; }
    void FilterFrame(SDC& frameCopy) override;
    // Sets (or, with null, removes) the delegate that post-processes every presented picture;
    // the frame's drawing context keeps the same pointer.
    void SetDrawFilter(SDrawFilterDelegate* filter);

    // ---- public state, as the frame and widgets read and set it
    int inputBlocked = 0;
    int includeDisabledOnHover = 0;
    int resizable = 0;
    int maximized = 0;
    int fullScreen = 0;
    int tabNavigation = 0;
    int paintSuspended = 0;
    int fullRepaint = 1;
    int frameMode = 0;
    SWindowAgent* host = nullptr;
    IHoverListener* hoverListener = nullptr;
    SDrawFilterDelegate* drawFilter = nullptr;

private:
    SMouseEventArgs MakeEvent(int x, int y, uint32_t modifiers) const;
    void PushModifiers(uint32_t modifiers);
    void UpdateCursor(SMouseEventArgs& event);
    void DragWindow();
    SWindowBase* NextFocusable(SWindowBase* from, bool backwards) const;
    void CreateDC();

    SWindowBase* m_root = nullptr;
    SWindowFrame* m_frame;
    std::unique_ptr<SDC> m_dc;
    int m_clientWidth = 0;
    int m_clientHeight = 0;
    SWindowBase* m_captured = nullptr;
    SWindowBase* m_hovered = nullptr;
    SWindowBase* m_focus = nullptr;
    bool m_focusRingShown = false;
    bool m_active = false;
    SWindowBase* m_dropTargetWidget = nullptr;
    SPoint m_dragPoint{kNoDrag, kNoDrag};
    SWindowBase* m_pendingPaint = nullptr;
    std::map<uint32_t, SWindowBase*> m_timers;
    uint32_t m_background = 0x00FFFFFFu;
    int m_paintCount = 0;
    int m_appliedAlpha = 255;
    bool m_translucent = false;
};
