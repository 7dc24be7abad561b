#include "app/SAboutDialog.h"

#include "services/SLocale.h"

namespace {
// UI thread only.
SAboutDialog* g_open = nullptr;
}  // namespace

SAboutDialog::SAboutDialog() = default;

SAboutDialog::~SAboutDialog() {
    Destroy();
    if (g_open == this) {
        g_open = nullptr;
    }
}

int SAboutDialog::ShowFor(SWindowFrame* owner, AboutTesselPanel::UpdateMarkHandler onUpdateMark) {
    SAboutDialog dialog;
    dialog.m_panel.SetUpdateMarkHandler(std::move(onUpdateMark));
    return dialog.DoModal(owner, AfxGetStrRes("MNU_AboutPCSoftware"), SSize(kWidth, kHeight));
}

SAboutDialog* SAboutDialog::GetOpen() {
    return g_open;
}

void SAboutDialog::OnCreateContent() {
    g_open = this;
    m_panel.Create("AboutTessel", &GetContentArea(), SMargin(0, 0, 0, 0), SSize());
}

void SAboutDialog::OnDestroy() {
    if (g_open == this) {
        g_open = nullptr;
    }
    SDialogFrame::OnDestroy();
}
