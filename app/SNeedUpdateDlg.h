#pragma once

#include <string>

#include "ui/SCheckButton.h"
#include "ui/SWindowBase.h"

// The content of the "a new version is available" question: the message, word-wrapped and
// centred in the space above the "ReCheck" check box ("Don't remind me again").
class SNeedUpdateDlg : public SWindowBase {
public:
    static constexpr double kWidth = 386;
    static constexpr double kHeight = 160;
    static constexpr double kSide = 10;
    static constexpr double kBottom = 20;
    static constexpr int kFont = 112;
    // Word-wrapped, vertically centred, not clipped.
    static constexpr unsigned kTextFormat = 0x114;

    SNeedUpdateDlg();
    ~SNeedUpdateDlg() override;
    const char* GetClassName() const override { return "SNeedUpdateDlg"; }

    // The question's title: "Actualización Auralis Manager" in Mexican Spanish (the usual word
    // order there), else the table's title ("Auralis Manager Update", "Auralis Manager
    // aktualisieren").
    static std::string Title(const std::string& language);

    const std::string& GetText() const { return m_text; }
    // The question's card: kWidth x kHeight, taller where the wrapped text needs it at the
    // current zoom (within the screen's work area).
    SSize CardSize() const;
    SCheckButton& GetReCheck() { return m_reCheck; }
    bool IsReCheckTicked() const { return m_reCheck.GetChecked() != 0; }

    void OnCreate() override;
    void OnPaint(SDC& dc) override;

private:
    std::string m_text;
    SCheckButton m_reCheck;
};
