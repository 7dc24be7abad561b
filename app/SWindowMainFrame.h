#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "app/SDimOverlay.h"
#include "app/SMainTitleBar.h"
#include "app/SMainView.h"
#include "app/SStartUp.h"
#include "ui/IButtonDelegate.h"
#include "ui/ICommandDelegate.h"
#include "ui/ITitleBarDelegate.h"
#include "ui/SMainPanel.h"
#include "ui/SMenuFrame.h"
#include "ui/SPanel.h"
#include "ui/SWindowFrame.h"

class SMainFrameMessenger;
class SWindowBaseFinderFrame;

// The main window (a widget-inspector delegate through SWindowFrame): a borderless frame of 424 x
// 515 units with the toolkit-drawn title bar, the content area that the connection controller
// fills, the start-up work list, and the dimming while dialogs are open over it.
class SWindowMainFrame : public SWindowFrame,
                         public ITitleBarDelegate,
                         public IButtonDelegate,
                         public ICommandDelegate {
public:
    static constexpr double kWidth = 424;
    static constexpr double kHeight = 515;
    static constexpr uint32_t kRootColour = 0xC9C9C9;
    static constexpr uint32_t kContentColour = 0xFFFFFF;
    static constexpr double kBorder = 8;
    static constexpr double kContentBottom = 16;

    // Window messages of the main frame.
    static constexpr int kStartUpMessage = 0x047D;
    static constexpr int kIgnoredMessage = 0x0BD0;
    static constexpr int kUpdateMarkMessage = 0x0DC4;

    static constexpr uint32_t kDimInTimer = 9500;
    static constexpr uint32_t kDimOutTimer = 9501;
    static constexpr uint32_t kDimIntervalMs = 20;
    static constexpr int kDimMax = 12;
    static constexpr int kDimStep = 4;

    SWindowMainFrame();
    ~SWindowMainFrame() override;

    // The main frame of the process while it exists (any thread may ask).
    static SWindowMainFrame* GetMainFrame();

    // Creates the window (hidden) with the frame's size at the process zoom factor, centred.
    int CreateMainFrame();

    // ---- SWindowFrame
    int OnCreate() override;
    void OnDestroy() override;
    void OnClose() override;
    void OnModalState(int entered) override;
    void OnUserMessage(int code, intptr_t param) override;
    void onWindowEvent(const platform::window::WindowEvent& event) override;

    // The start-up message: 3 runs the next work item; 0 continues the update check; any other
    // parameter is answered 0.
    intptr_t OnStartUpMsg(int param, intptr_t object);
    // The update-available mark: sets or clears the about entry's check mark.
    void OnUpdateMark(int available);

    // The window menu under the menu button (only while the button is pressed), and its end.
    void OpenWindowMenu(SButton* anchor);
    void CloseWindowMenu();
    // The about dialog, modal over this frame (command 604, the main view's about link).
    void OpenAboutDialog();

    // ---- ITitleBarDelegate, IButtonDelegate, ICommandDelegate
    void ButtonClicked(SButton* button) override;
    int OnCommand(int commandId) override;
    int PreTranslateKey(const SKeyMessage& message) override;
    // While the window menu is open its arrows, Return and Space move in and choose from it.
    int InterceptKey(const SKeyMessage& message) override;

    // ---- state, for tests
    SMainPanel& GetRootPanel() { return m_root; }
    SMainTitleBar& GetTitleBar() { return m_titleBar; }
    SMenuFrame& GetMenuFrame() { return m_menuFrame; }
    SPanel& GetContentArea() { return m_contentArea; }
    SMainView& GetMainView() { return m_mainView; }
    SStartUp& GetStartUp() { return m_startUp; }
    int GetDimLevel() const { return m_dimLevel; }
    bool IsDimmed() const { return m_dimmed; }
    // The window has the keyboard focus (any thread).
    bool IsFocused() const { return m_focused.load(); }
    std::size_t GetOpenPopupCount() const { return m_openPopups.size(); }
    SWindowBaseFinderFrame* GetWindowBaseFinder() const { return m_finder; }

    // ---- IWindowBaseFinderDelegate
    void WindowBaseFinderDestroyed(SWindowBaseFinderFrame* finder) override;

private:
    void OpenWindowBaseFinder();
    void CloseWindowBaseFinder();
    void OnDimTimer(uint32_t id);
    bool IsOverMenuAnchor(int x, int y);
    // Greys out the entry for choosing other earbuds while the main view cannot change pairs.
    void RefreshChooseEarbudsEntry(SMenuDefinition& menu);
    void SetDimLevel(int level);

    SMainPanel m_root;
    SMainTitleBar m_titleBar;
    SMenuFrame m_menuFrame;
    SPanel m_contentArea;
    SMainView m_mainView;
    std::shared_ptr<SMainFrameMessenger> m_messenger;
    SStartUp m_startUp;
    SDimOverlay m_dimOverlay;
    SWindowBaseFinderFrame* m_finder = nullptr;
    std::deque<int> m_openPopups;
    int m_dimLevel = 0;
    bool m_dimmed = false;
    std::atomic<bool> m_focused{false};
    SWindowBase* m_menuAnchor = nullptr;
};
