#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/window/Window.h"
#include "ui/IWindowBaseFinderDelegate.h"
#include "ui/SDispatcherFrame.h"
#include "ui/SKeyMessage.h"
#include "ui/SRect.h"
#include "ui/SSize.h"
#include "ui/SWindowAgent.h"

class ICommandDelegate;
class SWindowBase;

// How a frame's native window is made.
struct SFrameOptions {
    std::string title;
    SRect rect;  // screen position (left, top) and client size in pixels
    bool centered = false;
    uint32_t style = platform::window::kStyleBorderless;
    class SWindowFrame* owner = nullptr;
};

// An accelerator: a key with modifiers (FSHIFT | FCONTROL | FALT) that gives a command.
struct SAccelerator {
    unsigned fVirt = FVIRTKEY;
    int key = 0;
    int command = 0;
};

// A native top-level window that shows one widget tree through its agent. Subclasses build
// their tree in OnCreate (CreateRoot on a root widget with GetAgent()). UI thread only.
class SWindowFrame : public platform::window::WindowListener, public IWindowBaseFinderDelegate {
public:
    SWindowFrame();
    ~SWindowFrame() override;
    SWindowFrame(const SWindowFrame&) = delete;
    SWindowFrame& operator=(const SWindowFrame&) = delete;

    // Creates the native window (hidden), registers the frame as the dispatcher's paint host,
    // runs OnCreate and lays the tree out for the client size. Returns 1 on success, 0 when the
    // window could not be made or OnCreate refused (-1).
    int Create(const SFrameOptions& options);
    // Destroys the tree and the native window.
    void Destroy();
    bool IsWindow() const { return m_window != nullptr; }
    platform::window::Window* GetWindow() const { return m_window.get(); }
    // The title the native window was created with.
    const std::string& GetTitle() const { return m_title; }
    SWindowAgent& GetAgent() { return agent; }

    void Show();
    void Hide();
    void MoveWindow(int x, int y);
    void SetClientSize(int width, int height);
    // A disabled frame receives no input (an owner while its modal dialog runs).
    void EnableWindow(bool enabled);
    // Asks the frame to close, as the user would (OnClose runs from the loop).
    void PostClose();

    // Creates (unless it exists), shows and runs the frame modally: the owner is disabled, a
    // nested dispatcher loop runs until EndModal, then the owner is enabled and raised and the
    // frame destroyed. Returns 1.
    int DoModal(const SFrameOptions& options);
    void EndModal();
    bool IsModalRunning() const { return m_modalRunning; }

    // Recomputes zoom and logical size from the client size (zoomMode, designSize).
    void UpdateZoom();
    // Switches right-to-left layout for this frame (it takes effect while the process-wide
    // right-to-left flag is set) and repaints mirrored.
    void SetRightToLeft(int value);

    void AddAccelerator(const SAccelerator& accelerator) { accelerators.push_back(accelerator); }
    void AddCommandDelegate(ICommandDelegate* delegate) { commandDelegates.push_back(delegate); }
    // Ends the application's loop when this frame is destroyed (the main frame).
    void SetQuitOnDestroy(bool quit) { m_quitOnDestroy = quit; }

    // ---- hooks
    // Builds the tree; -1 refuses the creation.
    virtual int OnCreate() { return 0; }
    virtual void OnDestroy() {}
    // The user or PostClose asked to close: ends a modal run, else destroys the frame.
    virtual void OnClose();
    // A modal frame owned by this one opened (1) or ended (0): the owner's modal state, which
    // a main window may show (it dims itself).
    virtual void OnModalState(int) {}
    // A message posted to the window (platform::window::WindowEvent::Type::User). The default
    // hands ICommandDelegate::kCommandMessage to the command delegates and ignores the rest.
    virtual void OnUserMessage(int code, intptr_t param);
    // The platform's own pre-translation of a key that no widget handled, then accelerators.
    virtual int PreTranslateKey(const SKeyMessage& message);
    // Sees every key before the focus widget does; returns 1 to take it. For a popup (a menu)
    // that keeps the keyboard in its owner's window. The default takes nothing.
    virtual int InterceptKey(const SKeyMessage& message) {
        (void)message;
        return 0;
    }
    int TranslateAccelerator(const SKeyMessage& message);

    // ---- platform::window::WindowListener
    void onWindowEvent(const platform::window::WindowEvent& event) override;
    platform::window::HitCode onHitTest(platform::window::Point client) override;

    SWindowFrame* owner = nullptr;
    std::vector<ICommandDelegate*> commandDelegates;
    SWindowAgent agent;
    SDispatcherFrame modalLoop;
    std::vector<SAccelerator> accelerators;
    SSize clientSize;
    SSize designSize;
    SSize logicalSize;
    int plainWindow = 1;
    // Every window reads in the program's direction: mirrored while the process-wide
    // right-to-left flag is set. A window that must stay left to right clears it.
    int rightToLeft = 1;
    int zoomMode = 0;
    double zoom = 1.0;
    int inspectorAttached = 0;
    // 1: a second press within the double-click time arrives as LButtonDoubleClick instead.
    int doubleClicks = 0;

private:
    void HandleResize(int width, int height);
    void HandleKey(const platform::window::WindowEvent& event);

    std::unique_ptr<platform::window::Window> m_window;
    std::string m_title;
    SWindowFrame* m_modalChild = nullptr;
    bool m_modalRunning = false;
    bool m_quitOnDestroy = false;
    // The platform moves the window itself when a drag handle is pressed (hit-test support).
    bool m_systemDrag = false;
    std::vector<std::string> m_droppedFiles;
};
