#include "app/SLastestVersionDlg.h"

#include <cstdio>

#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"
#include "ui/SPopupDialog.h"
#include "ui/TextFlags.h"

SLastestVersionDlg::SLastestVersionDlg() {
    m_text = AfxGetStrRes("MSG_InstalledLatestVersion") + "\n" +
             AfxGetStrRes("MSG_InstalledVersion") + " : Ver." + EnvironVar::GetLocalVer();
}

SLastestVersionDlg::~SLastestVersionDlg() = default;

SSize SLastestVersionDlg::CardSize() const {
    const SSize text = SDC::MeasureText(m_text, kFont, DT_NOPREFIX);
    const SSize content(kIconLeft + kTextOffset + text.width + kTextRight,
                        kIconTop + 5 + text.height + kTextBottom);
    return SPopupDialog::CardToHold(SSize(kWidth, kHeight), content, 0);
}

void SLastestVersionDlg::OnCreate() {
    m_icon = LoadImage("\\res\\icon_64.png");
}

void SLastestVersionDlg::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.FillRect(own, SPalette::kSurface);
    if (m_icon != nullptr) {
        dc.DrawImage(m_icon.get(),
                     SRect(kIconLeft, kIconTop, kIconLeft + kIconSize, kIconTop + kIconSize));
    }
    const SRect text(kIconLeft + kTextOffset, kIconTop + 5, own.right - kTextRight, own.bottom);
    // What is drawn is what a screen reader reads.
    SetAccessibleName(m_text);
    SetAccessibleRole("label");
    dc.DrawText(m_text, text, DT_NOPREFIX, kFont, SPalette::kText);
}
