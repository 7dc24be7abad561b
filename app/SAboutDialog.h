#pragma once

#include "app/AboutTesselPanel.h"
#include "ui/SDialogFrame.h"

// The about dialog: a toolkit dialog titled "About Auralis Manager" holding the about panel
// "AboutTessel". Opened modally over the main window and destroyed when it closes.
class SAboutDialog : public SDialogFrame {
public:
    static constexpr double kWidth = 399;
    static constexpr double kHeight = 198;

    SAboutDialog();
    ~SAboutDialog() override;

    // Opens an about dialog over owner and runs it until it closes; a check for a newer version
    // from it tells onUpdateMark what it found.
    static int ShowFor(SWindowFrame* owner,
                       AboutTesselPanel::UpdateMarkHandler onUpdateMark = nullptr);

    AboutTesselPanel& GetPanel() { return m_panel; }
    // The about dialog open now, or null (tests and the screenshots).
    static SAboutDialog* GetOpen();

    void OnCreateContent() override;
    void OnDestroy() override;

private:
    AboutTesselPanel m_panel;
};
