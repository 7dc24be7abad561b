#pragma once

#include <string>
#include <vector>

#include "ui/IButtonDelegate.h"
#include "ui/IHoverListener.h"
#include "ui/SDrawFilterDelegate.h"
#include "ui/SWindowBaseFinderWindow.h"
#include "ui/SWindowFrame.h"

// The widget inspector "WindowBase Finder": a top-level window of its own that lists the
// widget under the pointer in any frame of one owner chain (class, name, margin, size,
// rectangles, parents), and outlines that widget on the frame's presented picture.
//
// How a program uses it (UI thread only):
//   - main() records its arguments once: SCommandLine::Set(argc, argv).
//   - The top frame's creation handler, when SCommandLine::Contains(kSwitch):
//         SWindowBaseFinderFrame::ShowFor(*this);
//     It is created once per top frame, centred, and shown again if hidden. The top frame
//     and every existing frame of its owner chain are attached at once.
//   - Frames created later while the switch is on attach themselves when their owner chain's
//     top frame has an inspector (SWindowFrame::Create calls FrameCreated): the agent's
//     hoverListener and draw filter become the inspector and inspectorAttached is 1.
//   - Closing the top frame: SWindowBaseFinderFrame::DestroyFor(*this) before destroying it.
//     (Destroying the top frame destroys its inspector too, so forgetting it is safe.) The
//     pointer ShowFor returns stays valid until then; the top frame hears of the end through
//     IWindowBaseFinderDelegate::WindowBaseFinderDestroyed.
// Either side may go first: a destroyed frame is detached, a destroyed inspector detaches
// from every frame, and nothing keeps a pointer to the other. Closing the inspector's window
// only hides it.
class SWindowBaseFinderFrame : public SWindowFrame,
                               public IHoverListener,
                               public SDrawFilterDelegate,
                               public IButtonDelegate {
public:
    static constexpr const char* kSwitch = "/windowbasefinder";
    static constexpr const char* kTitle = "WindowBase Finder";

    // Creates (once) and shows the inspector of `top`'s owner chain. Returns it, or null when
    // the chain's top frame has no window (yet) or the inspector's window could not be made.
    static SWindowBaseFinderFrame* ShowFor(SWindowFrame& top);
    // Destroys the inspector of `top`'s owner chain, if any, and frees it.
    static void DestroyFor(SWindowFrame& top);
    // The inspector of the chain whose top frame is `top` (null when none).
    static SWindowBaseFinderFrame* Find(const SWindowFrame* top);
    // The last owner up the chain (the frame itself when it has none).
    static SWindowFrame* TopFrameOf(SWindowFrame* frame);
    // Called by every frame when its native window has been created and before it goes.
    static void FrameCreated(SWindowFrame& frame);
    static void FrameDestroyed(SWindowFrame& frame);

    explicit SWindowBaseFinderFrame(SWindowFrame& top);
    ~SWindowBaseFinderFrame() override;

    // Makes `frame` report its hover here and draw the highlight through this inspector.
    void Attach(SWindowFrame& frame);
    void Detach(SWindowFrame& frame);
    bool IsAttached(const SWindowFrame& frame) const;
    const std::vector<SWindowFrame*>& GetAttached() const { return m_attached; }
    SWindowFrame& GetTop() const { return m_top; }
    SWindowBase* GetInspected() const { return m_inspected; }
    SWindowFrame* GetInspectedFrame() const { return m_inspectedFrame; }
    SWindowBaseFinderWindow& GetContent() { return m_content; }

    // ---- SWindowFrame
    int OnCreate() override;
    void OnDestroy() override;
    void OnClose() override;
    // ---- IHoverListener
    void HoveredWidgetChanged(SWindowBase* widget, SWindowFrame* frame) override;
    // ---- SDrawFilterDelegate: outlines the inspected widget on its frame's picture.
    void FilterFrame(SDC& frameCopy) override;
    // ---- IButtonDelegate (the close button)
    void ButtonClicked(SButton* button) override;

private:
    bool Create();
    void DetachAll();
    // The inspected widget, when it is still alive and still its frame's hovered widget.
    SWindowBase* ValidInspected() const;
    static void RepaintFrame(SWindowFrame* frame);

    SWindowFrame& m_top;
    SWindowBaseFinderWindow m_content;
    std::vector<SWindowFrame*> m_attached;
    SWindowBase* m_inspected = nullptr;
    SWindowFrame* m_inspectedFrame = nullptr;
};
