#pragma once

#include "app/SDummyPanel.h"
#include "ui/IDispatcherInvokeDelegate.h"
#include "ui/SSlideView.h"

class IMainViewDelegate;

// The welcome screen: a slide view holding the welcome panel "Tessel Dummy Panel".
class SDummyView : public SSlideView, public IDispatcherInvokeDelegate {
public:
    static constexpr double kPanelMargin = 30;

    const char* GetClassName() const override { return "SDummyView"; }
    void SetMainViewDelegate(IMainViewDelegate* delegate) { m_panel.SetMainViewDelegate(delegate); }
    SDummyPanel& GetPanel() { return m_panel; }

    void OnCreate() override;
    // The welcome screen posts nothing to itself.
    void Dispatcher_Invoked(SInvokeArgument*) override {}

private:
    SDummyPanel m_panel;
};
