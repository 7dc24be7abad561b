#pragma once

class SWindowBaseFinderFrame;

// What the widget inspector tells the top frame it belongs to. Every frame is one (with empty
// defaults), so a top frame that keeps a pointer to its inspector can forget it in time.
class IWindowBaseFinderDelegate {
public:
    virtual ~IWindowBaseFinderDelegate() = default;
    // The inspector is about to be freed (DestroyFor, or its top frame going); the pointer
    // ShowFor returned is invalid afterwards.
    virtual void WindowBaseFinderDestroyed(SWindowBaseFinderFrame* /*finder*/) {}
};
