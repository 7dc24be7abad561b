#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Event.h"
#include "ui/IButtonDelegate.h"
#include "ui/SDialogTitleBar.h"
#include "ui/SFramePanel.h"
#include "ui/SMainPanel.h"
#include "ui/SPanel.h"
#include "ui/SWindowFrame.h"

// A modal dialog in a window of its own: a shadowed card (the root "MainPanel" with its
// background "SMainPanel"), the title row "DialogTitleBar" with the close button
// "CloseButton", and the content area "ContentArea" where subclasses put their widgets
// (OnCreateContent). The window is 16 units larger than the size asked for: 8 units of shadow
// on every side.
//
// The dialog zooms in when it opens (input blocked meanwhile) and zooms out when it closes;
// the end of the close animation closes the window. A close request from the platform starts
// the animated close when closeAllowed is 1 and is ignored otherwise. closedEvent is signalled
// when the window is destroyed (another thread may wait on it). Open dialogs are listed in
// creation order (GetOpenDialogs). UI thread only, except PostCloseDialog.
class SDialogFrame : public SWindowFrame, public IButtonDelegate {
public:
    static constexpr double kShadow = 8;
    // The content area ends this far above the window's bottom edge (shadow included).
    static constexpr double kContentBottom = 16;
    static constexpr int kRootAnimationKey = 0;
    static constexpr uint32_t kZoomMs = 160;

    SDialogFrame();
    ~SDialogFrame() override;

    // The largest card, in logical units at the current zoom, whose window (shadow included)
    // fits the work area of the screen.
    static SSize LargestCard();
    // Where a dialog window `width` x `height` pixels opens: centred over its owner (the work
    // area without one) and moved wholly into the work area of the owner's screen.
    static platform::window::Rect PlaceOverOwner(SWindowFrame* ownerFrame, int width, int height);
    static platform::window::Rect FitInArea(platform::window::Rect rect,
                                            const platform::window::Rect& area);

    // Creates the window (hidden) for a dialog `size` logical units large, centred over the
    // owner (or the screen). Returns 1 on success.
    int CreateDialog(SWindowFrame* ownerFrame, const std::string& title, const SSize& size);
    // Creates the dialog unless it exists, shows it with the opening animation and runs it
    // modally until it closes. Returns 1 (0 when the window could not be made).
    int DoModal(SWindowFrame* ownerFrame, const std::string& title, const SSize& size);
    // Shows the dialog with the opening animation without running a loop of its own.
    void ShowDialog();

    // Not animated: closes at once. Animated: zooms out first; a second call while closing
    // does nothing.
    void CloseDialog(int animated);
    int IsClosing() const { return m_closing; }
    // Any thread: closes the dialog (animated) on the UI thread, if it is still open then.
    void PostCloseDialog();
    // Any thread: runs `call` on the UI thread if this dialog's window still exists then.
    void PostToDialog(std::function<void()> call);

    void SetTitle(const std::string& title);
    SFramePanel& GetRoot() { return m_root; }
    SMainPanel& GetBackground() { return m_background; }
    SDialogTitleBar& GetTitleBar() { return m_titleBar; }
    SPanel& GetContentArea() { return m_contentArea; }

    // Dialogs whose windows exist, oldest first.
    static std::vector<SDialogFrame*> GetOpenDialogs();
    // Closes every open dialog, newest first, without animation.
    static void CloseAllDialogs();

    // ---- hooks
    // Builds the dialog's own widgets in the content area.
    virtual void OnCreateContent() {}
    // The title bar's close button was clicked: the animated close.
    virtual void OnCloseButton();
    // The root's animation `key` ended (the open or the close animation).
    void OnRootAnimationEnd(int key);

    // Keys no widget took: Escape cancels (OnCancelKey), Return presses the default button
    // (OnDefaultKey). Nothing happens while the dialog is closing.
    int PreTranslateKey(const SKeyMessage& message) override;
    // Escape: the same as the close button, when the dialog shows one (a window that hid it,
    // like the update client's, is not closed by a key either).
    virtual void OnCancelKey();
    // Return with no focused button: presses the dialog's default button. Returns 1 when there
    // was one; the plain dialog has none.
    virtual int OnDefaultKey() { return 0; }

    // ---- SWindowFrame
    int OnCreate() override;
    void OnDestroy() override;
    void OnClose() override;

    // ---- IButtonDelegate
    void ButtonClicked(SButton* button) override;

    int closeAllowed = 1;
    platform::Event closedEvent{platform::Event::Reset::Manual};

private:
    void StartOpeningAnimation();

    SFramePanel m_root;
    SMainPanel m_background;
    SDialogTitleBar m_titleBar;
    SPanel m_contentArea;
    std::string m_title;
    int m_closing = 0;
    // Set once the zoom-out runs: the end of the zoom-in it replaces is not the close.
    int m_closeAnimationRunning = 0;
    uint64_t m_serial;
};
