#pragma once

#include <string>

#include "ui/SWindowBase.h"

class SWindowFrame;

namespace updater {

// The notice shown when the download keeps failing for lack of a network: three localised
// paragraphs that tell the user where to get the new version, painted on a light grey card.
// Shown as the content of a popup with Yes/No buttons (Show); Yes opens the download page.
class STesselDownloadDlg : public SWindowBase {
public:
    static constexpr double kWidth = 360;
    static constexpr double kHeight = 180;
    static constexpr int kResultOpenPage = 6;
    // Used when the settings name no page of their own (section "Update", key "DownloadPage").
    static constexpr const char* kDefaultDownloadPage = "https://www.lumora.example/shiftora";

    const char* GetClassName() const override { return "STesselDownloadDlg"; }

    const std::string& GetText() const { return m_text; }
    // The three paragraphs, formatted with the program's name.
    static std::string NoticeText();
    // The page the notice offers: the settings' address when it is a web address, else the
    // default page.
    static std::string DownloadPage();
    // The popup's height for the text: at least kHeight, taller when the text needs it.
    static double HeightFor(const std::string& text);

    // UI thread: runs the notice modally over owner and opens the page when the user agrees.
    // Returns the popup's result.
    static int Show(SWindowFrame* owner, const std::string& title);

    void OnCreate() override;
    void OnPaint(SDC& dc) override;

private:
    std::string m_text;
};

}  // namespace updater
