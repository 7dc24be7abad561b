#include "app/SNeedUpdateDlg.h"

#include <algorithm>

#include "services/SLocale.h"
#include "ui/SDC.h"
#include "ui/SPalette.h"
#include "ui/SPopupDialog.h"
#include "ui/TextFlags.h"

namespace {
constexpr double kCheckHeight = 22;
}  // namespace

SNeedUpdateDlg::SNeedUpdateDlg()
    : m_text(
          AfxGetStrResFormat("MSG_NewSoftwareAvailable", 1, AfxGetStrRes("MNU_AuralisManager"))) {}

SNeedUpdateDlg::~SNeedUpdateDlg() = default;

std::string SNeedUpdateDlg::Title(const std::string& language) {
    if (language == "es-MX") {
        return std::string("Actualización") + " " + AfxGetStrRes("MNU_AuralisManager");
    }
    // A title of its own: the button's verb after the product name reads wrongly in most
    // languages ("Auralis Manager Aktualisieren").
    return AfxGetStrResFormat("MNU_UpdateQuestionTitle", 1, AfxGetStrRes("MNU_AuralisManager"));
}

SSize SNeedUpdateDlg::CardSize() const {
    const SSize text = SDC::MeasureText(m_text, kFont, kTextFormat, kWidth - 2 * kSide);
    // Half a line's height of air above the text and below it, over the check box's row.
    const double air = SDC::MeasureText("X", kFont, DT_SINGLELINE).height;
    const SSize content(kWidth, text.height + air + std::max(kBottom, kCheckHeight));
    return SPopupDialog::CardToHold(SSize(kWidth, kHeight), content, 1);
}

void SNeedUpdateDlg::OnCreate() {
    m_reCheck.SetText(AfxGetStrRes("MNU_CheckboxText"));
    m_reCheck.SetFont(kFont);
    m_reCheck.SetCheckImages("\\res\\Device\\check_mark_normal.png",
                             "\\res\\Device\\check_mark_over.png",
                             "\\res\\Device\\check_mark_press.png", "\\res\\Device\\check_bg.png");
    m_reCheck.Create("ReCheck", this, SMargin(kSide, -1, -1, 0), SSize(0, kCheckHeight));
    m_reCheck.SizeToContent();
    m_reCheck.SetVisible(1);
}

void SNeedUpdateDlg::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.FillRect(own, SPalette::kSurface);
    // The bottom margin is where the check box sits.
    SRect text(kSide, 0, own.right - kSide, own.bottom - std::max(kBottom, kCheckHeight));
    // The toolkit centres single lines only: centre the wrapped block by its measured height.
    const SRect needed = dc.CalcTextRect(m_text, text, kTextFormat, kFont);
    if (needed.Height() < text.Height()) {
        text.top += (text.Height() - needed.Height()) / 2;
    }
    // What is drawn is what a screen reader reads.
    SetAccessibleName(m_text);
    SetAccessibleRole("label");
    dc.DrawText(m_text, text, kTextFormat, kFont, SPalette::kText);
}
