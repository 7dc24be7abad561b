#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/WindowTypes.h"
#include "ui/IWindowBase.h"
#include "ui/SAnimatable.h"
#include "ui/SMargin.h"
#include "ui/SPoint.h"
#include "ui/SRect.h"
#include "ui/SSize.h"
#include "ui/SToolTipContent.h"

class IDropTargetDelegate;
class ISizeListener;
class SDC;
class SWindowAgent;

// A node of the retained widget tree: identity (a name), place in the tree (parent and ordered
// children; the last child is on top), geometry (margins and size anchored inside the parent,
// in logical units), state flags and the default behaviour of every event. Screens and widgets
// derive from it and override the On... hooks.
//
// Layout is computed whenever a rectangle is asked for; nothing is cached. A parent does not
// own its children's memory; Destroy unlinks them. Focus, hover and capture are held by the
// frame's agent, which Destroy clears. UI thread only.
class SWindowBase : public SAnimatable, public IWindowBase {
public:
    // Rectangle kinds of GetRect.
    enum RectKind : int {
        kRectOwnScaled = 0,   // (0, 0, width, height) times the zoom factor
        kRectInParent = 1,    // the layout result in the parent's visible area
        kRectInFrame = 2,     // in the frame's client area, device pixels
        kRectOnScreen = 3,    // kind 2 in screen pixels
        kRectOwnLogical = 4,  // (0, 0, width, height) in logical units
    };
    // The keyboard focus ring: line width and corner radius in logical units.
    static constexpr double kFocusRingWidth = 2;
    static constexpr double kFocusRingRadius = 4;
    // Results of OnHitTestArea / HitTestArea.
    enum : int { kHitClient = 1, kHitCaption = 2 };

    SWindowBase();
    ~SWindowBase() override;

    // ---- creation and destruction
    // Creates the widget under parent (refused without one). Without a margin all four
    // components are 0. Returns 1 on success.
    int Create(const std::string& name, SWindowBase* parent, const SMargin* margin,
               const SSize& size, int visible = 1, int fixed = 0);
    int Create(const std::string& name, SWindowBase* parent, const SMargin& margin,
               const SSize& size, int visible = 1, int fixed = 0);
    // Creates the widget as the root of a frame's tree.
    int CreateRoot(SWindowAgent* agent, const std::string& name);
    // Destroys the children (first to last), then unlinks the widget. 0 for a widget that has
    // neither parent nor agent.
    virtual int Destroy();
    int IsCreated() const { return m_created; }

    // ---- IWindowBase
    void SetFrameRect(const SRect& rect) override;
    void Repaint() override;
    IWindowBase* GetLayer() override;
    SWindowBase* MouseMove(SMouseEventArgs& event, int targetChosen) override;
    void MouseLeave() override;
    int LButtonUp(SMouseEventArgs& event, int targetChosen) override;
    int LButtonDown(SMouseEventArgs& event, int targetChosen) override;
    int LButtonDoubleClick(SMouseEventArgs& event, int targetChosen) override;
    int RButtonUp(SMouseEventArgs& event, int targetChosen) override;
    int RButtonDown(SMouseEventArgs& event, int targetChosen) override;
    int MouseWheel(SMouseEventArgs& event, int targetChosen) override;
    void Resize(double width, double height) override;
    void SetInheritedStateA(int value) override;
    void SetInheritedStateB(int value) override;
    int HitTestArea(SMouseEventArgs& event, int targetChosen) override;
    int SetCursor(SMouseEventArgs& event, int targetChosen) override;
    int PreTranslateKey(const SKeyMessage& message) override;
    void Activate(int state) override;
    void BroadcastNotifyA(int value) override;
    void BroadcastNotifyB() override;
    void BroadcastNotifyC() override;
    void Timer(uint32_t id) override;
    void BroadcastNotifyD(int value) override;
    void FocusChanged(int gained) override;
    int KeyDown(int key, uint32_t flags) override;
    int KeyUp(int key, uint32_t flags) override;
    int DragEnter(const std::vector<std::string>& files, uint32_t keys,
                  const SPoint& point) override;
    int DragOver(const SPoint& point) override;
    int Drop(uint32_t keys, const SPoint& point, int effect) override;
    void DragLeave() override;
    // The nearest widget up the chain (itself included) that owns a layer: a scrolling widget
    // or one with ownLayer; the root otherwise.
    SWindowBase* GetLayerWidget() override;

    // ---- drawing (SAnimatable)
    // Renders the widget's layer and returns the drawing context it went into.
    SDC* RenderLayer() override;
    // Effective visibility: own flag, not suspended, and every ancestor up to a root visible.
    int GetVisible() override;
    int GetFrameMode() override;
    SRect GetRect(int kind, int refresh) override;
    // Hands the frame's context to the frame at the root.
    void Present(SDC* dc) override;
    // Renders the widget and its children, as they look now, into a new context of the
    // widget's own size (with alpha), with the widget's own visibility forced on for the
    // rendering. Transitions draw from such snapshots. Null outside a frame.
    std::unique_ptr<SDC> RenderSnapshot();

    // ---- geometry
    virtual SRect GetClientRect(int kind);
    // The layout rule: the widget's rectangle in its parent's coordinates (logical).
    virtual SRect ComputeLayoutRect();
    void SetMargin(const SMargin& margin);
    const SMargin& GetMargin() const { return m_margin; }
    void SetSize(const SSize& size);
    const SSize& GetSize() const { return m_size; }
    int IsFixed() const { return m_fixed; }
    const SPoint& GetScrollOffset() const { return m_scrollOffset; }
    void SetScrollOffset(const SPoint& offset) { m_scrollOffset = offset; }
    // A point in frame client pixels in the widget's local logical units.
    SPoint ClientToLocal(const SPoint& framePixels);
    double GetZoom();
    // Whether this widget's content (its own drawing and its children's places) is laid out
    // right to left: the frame's switch and the process flag are on, and neither this widget
    // nor an ancestor keeps physical sides. The widget's own place follows its parent.
    bool IsRightToLeft();
    // Whether the widget's own place in its parent is mirrored (the parent's content is).
    bool PlacedRightToLeft();
    // Keeps this widget's content left to right in a mirrored window: pictures whose left
    // and right stand for physical sides (the left earbud) and what is placed beside them.
    void SetKeepsPhysicalSides(int keeps) { m_keepsPhysicalSides = keeps; }
    int KeepsPhysicalSides() const { return m_keepsPhysicalSides; }

    // ---- state
    virtual void SetVisible(int visible);
    int IsVisibleSelf() const { return m_visible != 0 && m_suspended == 0; }
    int GetOwnVisible() const { return m_visible; }
    void SetEnabled(int enabled);
    int GetEnabled();
    int GetOwnEnabled() const { return m_enabled; }
    void SetSuspended(int suspended) { m_suspended = suspended; }
    int IsHovered() const { return m_hovered; }
    int IsDragHandle() const { return m_dragHandle; }
    void SetFocusable(int focusable) { m_focusable = focusable; }
    int IsFocusable() const { return m_focusable; }
    int HasFocus();
    void SetFocus();
    int GetInheritedStateA() const { return m_inheritedStateA; }
    int GetInheritedStateB() const { return m_inheritedStateB; }
    void SetOwnLayer(int ownLayer);
    int HasOwnLayer() const { return m_ownLayer; }
    void SetClipChildren(int clip) { m_clipChildren = clip; }
    void SetHost(SWindowAgent* host) { m_host = host; }
    void SetSizeListener(ISizeListener* listener) { m_sizeListener = listener; }
    void SetDropTarget(IDropTargetDelegate* delegate) { m_dropTarget = delegate; }
    IDropTargetDelegate* GetDropTarget() const { return m_dropTarget; }
    int IsInLayout() const { return m_inLayout; }

    // ---- tree
    const std::string& GetName() const { return m_name; }
    SWindowBase* GetParent() const { return m_parent; }
    const std::vector<SWindowBase*>& GetChildren() const { return m_children; }
    // Every child in painting order (for a scrolling view: scrolled ones, then pinned ones).
    virtual std::vector<SWindowBase*> GetPaintOrder() const;
    SWindowBase* FindChild(const std::string& name) const;
    virtual void AddChild(SWindowBase* child);
    virtual int RemoveChild(SWindowBase* child);
    SWindowBase* GetRootWidget();
    // The agent of this widget's tree, or the host that takes its place; null outside a tree.
    SWindowAgent* GetAgent();
    virtual const char* GetClassName() const { return "SWindowBase"; }

    // ---- what assistive technology reads
    // A name for a widget whose meaning is not in a text of its own (a picture, an icon-only
    // button), in the active language; a role name ("image", "label") where the class alone
    // does not tell; a level (0-100, -1 none) for a picture that shows one.
    void SetAccessibleName(const std::string& name) { m_accessibleName = name; }
    const std::string& GetAccessibleName() const { return m_accessibleName; }
    void SetAccessibleRole(const char* role) { m_accessibleRole = role; }
    const char* GetAccessibleRole() const { return m_accessibleRole; }
    void SetAccessibleLevel(int level) { m_accessibleLevel = level; }
    int GetAccessibleLevel() const { return m_accessibleLevel; }
    // The id tools find the widget by whatever the language: its own name, unless that name is
    // a text in the active language (a message dialog's buttons are named by their captions).
    void SetAccessibleId(const std::string& id) { m_accessibleId = id; }
    const std::string& GetAccessibleId() const {
        return m_accessibleId.empty() ? m_name : m_accessibleId;
    }

    // ---- services through the frame
    // Caller-chosen timer id on the frame's window. Returns the id, 0 on failure.
    uint32_t SetTimer(uint32_t id, uint32_t milliseconds);
    int KillTimer(uint32_t id);
    int SetCapture();
    int ReleaseCapture();
    int HasCapture();
    // Asks the frame to repaint; nothing happens for a widget that is not effectively visible.
    void Invalidate();
    void SetCursorShape(platform::window::Cursor cursor);
    // Adopts the tooltip content (the old one is deleted) and enables the tooltip.
    void SetToolTip(std::unique_ptr<SToolTipContent> content);
    SToolTipContent* GetToolTip() const { return m_tooltipContent.get(); }
    void EnableToolTip(int enabled) { m_tooltipEnabled = enabled; }

    // ---- layout hooks
    virtual int ArrangeChildren();
    virtual int StacksChildren() { return 0; }
    virtual int StackIsHorizontal() { return 0; }
    virtual double ChildStackOffset(SWindowBase* child);
    virtual SSize GetContentSize();
    virtual int IsScrollable() { return 0; }

    // ---- event hooks (points in local logical units)
    virtual void OnCreate() {}
    virtual void OnFirstShow() {}
    virtual void OnDestroy() {}
    virtual void OnDestroyed();
    virtual void BeforeGetRect() {}
    virtual void OnPaint(SDC& dc);
    virtual int OnMouseMove(const SMouseEventArgs& event);
    virtual int OnLButtonUp(const SMouseEventArgs& event);
    virtual int OnLButtonDown(const SMouseEventArgs& event);
    virtual void OnSize(double width, double height);
    virtual int OnLButtonDoubleClick(const SMouseEventArgs& event);
    virtual int OnRButtonUp(const SMouseEventArgs& event);
    virtual int OnRButtonDown(const SMouseEventArgs& event);
    virtual int OnMouseWheel(const SMouseEventArgs& event);
    virtual int OnMouseEnter(const SMouseEventArgs& event);
    virtual int OnHitTestArea(const SMouseEventArgs& event);
    virtual int OnSetCursor(const SMouseEventArgs& event);
    virtual void OnMouseLeave() {}
    virtual void OnBroadcastNotifyA(int) {}
    virtual void OnBroadcastNotifyB() {}
    virtual void OnBroadcastNotifyC() {}
    virtual void OnBroadcastNotifyD(int) {}
    virtual void OnActivate(int) {}
    virtual void OnTimer(uint32_t) {}
    virtual void OnVisibleChanged(int visible);
    virtual void OnEnabledChanged(int) {}

    // ---- tree walks
    // The deepest effectively visible (and, unless includeDisabled, enabled) widget under the
    // event's point, searched from the topmost child down; the widget itself when none.
    virtual SWindowBase* HitTest(const SMouseEventArgs& event, int includeDisabled);
    virtual void Render(SDC& dc);
    virtual void PropagateVisible(int visible);
    virtual void PropagateEnabled(int enabled);
    virtual void ResetHoveredWidget();
    virtual void OnSetFocus() {}
    virtual void OnKillFocus() {}
    // Draws the keyboard focus ring inside the widget's own rectangle, over its children.
    // The default is a rounded outline in the accent colour; widgets of other shapes override.
    virtual void OnDrawFocusRing(SDC& dc);

protected:
    // The event record with its point converted to this widget's local units.
    SMouseEventArgs Localize(const SMouseEventArgs& event);
    // Whether running animations drop pointer events aimed at this widget.
    bool IsInputGated();
    void RenderChildren(SDC& dc);
    bool ScrollableInChain();
    SSize ParentExtent();
    void ApplySize(const SSize& size);
    void RestartToolTipHideTimer();
    SWindowBase* ChooseTarget(SMouseEventArgs& event, int targetChosen, int includeDisabled);

    // The one path of the five mouse-button events: the target, its input gate, the caption
    // drag (left button), the tooltip timer and the focus (presses), then its handler.
    enum class MouseButtonAction { LeftDown, LeftUp, LeftDoubleClick, RightDown, RightUp };
    int MouseButton(MouseButtonAction action, SMouseEventArgs& event, int targetChosen);
    void DropAgentReferences();
    // Unlinks every child (they are no longer in a tree); for destructors, where the children
    // may outlive this widget.
    void OrphanChildren();

    int m_dragHandle = 0;
    std::string m_name;
    SWindowAgent* m_agent = nullptr;
    SWindowBase* m_parent = nullptr;
    SMargin m_margin;
    SSize m_size;
    int m_fixed = 0;
    int m_visible = 0;
    int m_enabled = 1;
    int m_hovered = 0;
    int m_firstShown = 0;
    int m_ownLayer = 0;
    int m_clipChildren = 0;
    int m_keepsPhysicalSides = 0;
    SWindowAgent* m_host = nullptr;
    SPoint m_scrollOffset;
    std::vector<SWindowBase*> m_children;
    int m_suspended = 0;
    int m_tooltipEnabled = 0;
    int m_inheritedStateA = 0;
    int m_inheritedStateB = 0;
    ISizeListener* m_sizeListener = nullptr;
    int m_inLayout = 0;
    std::unique_ptr<SToolTipContent> m_tooltipContent;
    int m_focusable = 0;
    int m_created = 0;
    IDropTargetDelegate* m_dropTarget = nullptr;
    std::string m_accessibleName;
    const char* m_accessibleRole = nullptr;
    int m_accessibleLevel = -1;
    std::string m_accessibleId;
};
