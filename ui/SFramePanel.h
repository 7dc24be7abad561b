#pragma once

#include "ui/SPanel.h"

class SWindowFrame;

// The root widget of a dialog's tree. Widgets inside a dialog close it through CloseDialog,
// which asks the frame to close exactly as the platform would.
class SFramePanel : public SPanel {
public:
    const char* GetClassName() const override { return "SFramePanel"; }

    void SetParentFrame(SWindowFrame* frame) { m_parentFrame = frame; }
    SWindowFrame* GetParentFrame() const { return m_parentFrame; }
    // Sends the close request to the frame when its window exists; logs when there is none.
    void CloseDialog();

    // The dialog's open and close animations run on this widget; their end goes to the frame.
    void OnAnimationEnd(int key) override;

private:
    SWindowFrame* m_parentFrame = nullptr;
};
