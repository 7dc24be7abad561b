#pragma once

#include <map>
#include <memory>
#include <string>

#include "ui/IToolTipHost.h"
#include "ui/SPanel.h"
#include "ui/SWindowFrame.h"

class SToolTipPanel;

// The process-wide tooltip window: a borderless top-most window that never takes the focus,
// with one panel per kind of tooltip (made on first use and named after its kind).
//
// A widget with a tooltip that gets the pointer asks for it (ShowToolTip); after the content's
// show delay (timer 1) the panel places itself by the pointer on its screen, and 10 ms later
// (timer 5100) the window appears. Leaving, pressing or releasing restarts the hide timer
// (timer 10) with the content's hide delay; when it fires the tooltip goes, unless the pointer
// is over a tooltip that stays while hovered. A tooltip left before its show delay never
// shows. UI thread only.
class SToolTipWindow : public SWindowFrame, public IToolTipHost {
public:
    static constexpr uint32_t kShowTimer = 1;
    static constexpr uint32_t kHideTimer = 10;
    static constexpr uint32_t kAppearTimer = 5100;
    static constexpr uint32_t kAppearDelayMs = 10;

    SToolTipWindow();
    ~SToolTipWindow() override;

    // Makes the process's tooltip window and installs it as the tooltip host (once).
    static SToolTipWindow* Install();
    // Removes it (before the dispatcher goes).
    static void Uninstall();
    static SToolTipWindow* GetInstance();

    // IToolTipHost
    void ShowToolTip(SWindowBase* widget, SToolTipContent* content) override;
    void RestartHideTimer(uint32_t milliseconds) override;

    SToolTipPanel* GetCurrentPanel() const { return m_current; }
    SToolTipPanel* GetPanel(const std::string& kind) const;
    bool IsShown() const;

    int OnCreate() override;
    void OnDestroy() override;
    void OnTimer(uint32_t id);

private:
    class Root;

    SToolTipPanel* PanelFor(const std::string& kind);
    void OnShowTimer();
    void OnHideTimer();

    std::unique_ptr<Root> m_root;
    std::map<std::string, std::unique_ptr<SToolTipPanel>> m_panels;
    SToolTipPanel* m_current = nullptr;
};
