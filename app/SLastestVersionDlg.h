#pragma once

#include <memory>
#include <string>

#include "ui/SWindowBase.h"

class SImage;

// The content of the "you have the latest version" popup: the program's icon and two lines, the
// message and "Installed version : Ver.<local version>".
class SLastestVersionDlg : public SWindowBase {
public:
    static constexpr double kWidth = 400;
    static constexpr double kHeight = 160;
    static constexpr double kIconSize = 40;
    static constexpr double kIconLeft = 60;
    static constexpr double kIconTop = 25;
    // The text starts this far right of the icon's left edge and 5 below its top.
    static constexpr double kTextOffset = 50;
    static constexpr double kTextRight = 20;
    // Room kept below the text when the dialog grows to hold it.
    static constexpr double kTextBottom = 10;
    static constexpr int kFont = 112;

    SLastestVersionDlg();
    ~SLastestVersionDlg() override;
    const char* GetClassName() const override { return "SLastestVersionDlg"; }

    const std::string& GetText() const { return m_text; }
    // The dialog's card: kWidth x kHeight, wider or taller where the text needs it at the
    // current zoom (within the screen's work area).
    SSize CardSize() const;

    void OnCreate() override;
    void OnPaint(SDC& dc) override;

private:
    std::string m_text;
    std::unique_ptr<SImage> m_icon;
};
