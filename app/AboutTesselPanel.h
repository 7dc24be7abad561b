#pragma once

#include <functional>
#include <string>

#include "ui/IButtonDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SLabel.h"
#include "ui/SLinkButton.h"
#include "ui/SPanel.h"
#include "ui/SWindowBase.h"

class SWindowFrame;

// The about dialog's panel: the program's name, its version, the button that checks for a newer
// version, the legal notice and the link to the open-source licence page.
class AboutTesselPanel : public SWindowBase, public IButtonDelegate {
public:
    static constexpr const char* kLicencePage = "OpenSourceAnnouncement_Auralis_1.0_Win.html";
    static constexpr double kLicenceWidth = 680;
    static constexpr double kLicenceHeight = 410;
    static constexpr int kNameFont = 119;
    static constexpr int kTextFont = 112;
    static constexpr int kNoticeFont = 110;

    // Told whether a newer version is available (1) or not (0) after a check from this panel.
    using UpdateMarkHandler = std::function<void(int available)>;

    AboutTesselPanel();
    ~AboutTesselPanel() override;
    const char* GetClassName() const override { return "AboutTesselPanel"; }

    // "Version 1.0.0"; version first when the text reads right to left.
    static std::string VersionText(bool rightToLeft);
    // The licence page in the install folder.
    static std::string LicencePagePath();

    // Before Create; without one the check shows its dialogs and tells no one.
    void SetUpdateMarkHandler(UpdateMarkHandler handler) { m_onUpdateMark = std::move(handler); }

    SLabel& GetNameLabel() { return m_name; }
    SLabel& GetVersionLabel() { return m_version; }
    SCommonButton& GetCheckUpdateButton() { return m_checkUpdate; }
    SLabel& GetNoticeLabel() { return m_notice; }
    SLinkButton& GetLicenceButton() { return m_licence; }
    SLinkButton& GetReportButton() { return m_report; }

    void OnCreate() override;
    void OnPaint(SDC& dc) override;
    void ButtonClicked(SButton* button) override;

private:
    SWindowFrame* Frame();
    void CheckForUpdate();
    void ShowLicence();
    void SaveReport();

    SLabel m_name;
    SPanel m_versionPanel;
    SLabel m_version;
    SCommonButton m_checkUpdate;
    SLabel m_notice;
    SLinkButton m_licence;
    SLinkButton m_report;
    UpdateMarkHandler m_onUpdateMark;
};
