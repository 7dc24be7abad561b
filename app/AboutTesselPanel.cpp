#include "app/AboutTesselPanel.h"

#include "app/SUpdater.h"
#include "app/SupportReport.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SUtil.h"
#include "ui/CHtmlDlg.h"
#include "ui/SDC.h"
#include "ui/SGUIApp.h"
#include "ui/SMessageDialog.h"
#include "ui/SPalette.h"
#include "ui/SWindowAgent.h"
#include "ui/SWindowFrame.h"

namespace {
constexpr double kSide = 16;
constexpr double kButtonWidth = 124;
constexpr double kButtonHeight = 30;
}  // namespace

AboutTesselPanel::AboutTesselPanel() = default;
AboutTesselPanel::~AboutTesselPanel() = default;

std::string AboutTesselPanel::VersionText(bool rightToLeft) {
    const std::string caption = AfxGetStrRes("MNU_ExifVersion");
    const std::string version = EnvironVar::GetLocalVer();
    return rightToLeft ? version + " " + caption : caption + " " + version;
}

std::string AboutTesselPanel::LicencePagePath() {
    return EnvironVar::GetInstallPath() + "/" + kLicencePage;
}

SWindowFrame* AboutTesselPanel::Frame() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->GetFrame() : nullptr;
}

void AboutTesselPanel::OnCreate() {
    SWindowFrame* frame = Frame();
    const bool rightToLeft =
        SGUIApp::IsRightToLeft() && frame != nullptr && frame->rightToLeft != 0;

    m_name.SetText(AfxGetStrRes("MNU_AboutPCSoftware"));
    m_name.SetFont(kNameFont);
    m_name.SetTextColor(SPalette::kText);
    m_name.Create("_lblName", this, SMargin(kSide, 6, kSide, -1), SSize(0, 24));

    m_versionPanel.Create("Version Panel", this, SMargin(kSide, 38, kSide + kButtonWidth + 8, -1),
                          SSize(0, 24));
    m_version.SetText(VersionText(rightToLeft));
    m_version.SetFont(kTextFont);
    m_version.SetTextColor(SPalette::kTextSecondary);
    m_version.Create("_lblVersion", &m_versionPanel, SMargin(0, 0, 0, 0), SSize());

    m_checkUpdate.SetStyle(0);
    m_checkUpdate.SetText(AfxGetStrRes("MNU_Zephiro_Update"));
    m_checkUpdate.SetDelegate(this);
    m_checkUpdate.Create("Check Update Button", this, SMargin(-1, 35, kSide, -1),
                         SSize(kButtonWidth, kButtonHeight));

    m_notice.SetText(AfxGetStrRes("MSG_Kestrane_CopyRight"));
    m_notice.SetFont(kNoticeFont);
    m_notice.SetTextColor(SPalette::kTextSecondary);
    m_notice.Create("Quorvane Orvel Tindra Version", this, SMargin(kSide, 82, kSide, -1),
                    SSize(0, 20));

    m_licence.SetText(AfxGetStrRes("MNU_LicenceInformation"));
    m_licence.SetFont(kTextFont);
    m_licence.SetDelegate(this);
    m_licence.SizeToText();
    m_licence.Create("License Button", this, SMargin(kSide, 108, -1, -1), m_licence.GetSize());

    m_report.SetText(AfxGetStrRes("MNU_SaveReport"));
    m_report.SetFont(kTextFont);
    m_report.SetDelegate(this);
    m_report.SizeToText();
    m_report.Create("Save Report Button", this, SMargin(-1, 108, kSide, -1), m_report.GetSize());
}

void AboutTesselPanel::OnPaint(SDC& dc) {
    dc.FillRect(GetRect(kRectOwnLogical, 0), SPalette::kSurface);
}

void AboutTesselPanel::ButtonClicked(SButton* button) {
    if (button == &m_checkUpdate) {
        CheckForUpdate();
    } else if (button == &m_licence) {
        ShowLicence();
    } else if (button == &m_report) {
        SaveReport();
    }
}

void AboutTesselPanel::CheckForUpdate() {
    SWindowFrame* frame = Frame();
    if (SUtil::IsNetWorkConnectionCheck() == 0) {
        SMessageDialog::Show(frame, AfxGetStrRes("MNU_Notify"),
                             AfxGetStrRes("MSG_NetworkNotConnect"));
        return;
    }
    if (frame != nullptr) {
        frame->EnableWindow(false);
    }
    // Everything on this thread: the mark goes straight to whoever opened the panel.
    SUpdater updater(frame, 0, 0, 1, [this](int available) {
        if (m_onUpdateMark) {
            m_onUpdateMark(available);
        }
    });
    // State 1 first, then on until the state is 0 or 1.
    updater.SetState(updater.Run(SUpdater::kQuery - 1));
    updater.RunStates();
    if (frame != nullptr && frame->IsWindow()) {
        frame->EnableWindow(true);
    }
}

void AboutTesselPanel::ShowLicence() {
    CHtmlDlg dialog(LicencePagePath());
    dialog.DoModal(Frame(), AfxGetStrRes("MNU_LicenceInformation"),
                   SSize(kLicenceWidth, kLicenceHeight));
}

void AboutTesselPanel::SaveReport() {
    SWindowFrame* frame = Frame();
    if (frame != nullptr) {
        frame->EnableWindow(false);
    }
    const SupportReport report = SupportReport::Save(SupportReport::DefaultPath());
    if (frame != nullptr && frame->IsWindow()) {
        frame->EnableWindow(true);
    }
    const std::string kilobytes = std::to_string((report.bytes + 1023) / 1024);
    SMessageDialog::Show(frame, AfxGetStrRes("MNU_SaveReport"),
                         report.saved ? AfxGetStrResFormat("MSG_ReportSaved", 2,
                                                           report.path.c_str(), kilobytes.c_str())
                                      : AfxGetStrRes("MSG_ReportFailed"));
}
