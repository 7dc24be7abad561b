#include "updater/STesselDownloadDlg.h"

#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "platform/Process.h"
#include "services/SLocale.h"
#include "services/SSetting.h"
#include "services/SettingChild.h"
#include "ui/SDC.h"
#include "ui/SDialogTitleBar.h"
#include "ui/SPalette.h"
#include "ui/SPopupDialog.h"
#include "ui/TextFlags.h"

namespace updater {
namespace {
constexpr uint32_t kBackground = 0x00F9F9F9u;
constexpr double kInset = 10;
constexpr int kFont = 112;
constexpr unsigned kFormat = DT_WORDBREAK | DT_NOPREFIX;
constexpr int kYesNoButtons = 4;

bool IsWebAddress(const std::string& text) {
    return text.starts_with("https://") || text.starts_with("http://");
}
}  // namespace

std::string STesselDownloadDlg::NoticeText() {
    const std::string name = AfxGetStrRes("MNU_AuralisManager");
    return AfxGetStrResFormat("MSG_DeviceConnectDescription15", 1, name) + "\n" +
           AfxGetStrResFormat("MSG_DeviceConnectDescription19", 2, name, name) + "\n" +
           AfxGetStrResFormat("MSG_DeviceConnectDescription17", 1, name);
}

std::string STesselDownloadDlg::DownloadPage() {
    // Only a web address is handed to the desktop's opener: a settings file must not be able
    // to make the client open a local file or another program.
    if (SettingChild* update = AfxGetSetting()->GetSettingChild("Update")) {
        const std::string page = update->GetValue("DownloadPage");
        if (IsWebAddress(page)) {
            return page;
        }
    }
    return kDefaultDownloadPage;
}

double STesselDownloadDlg::HeightFor(const std::string& text) {
    // Title row above the content, 16 units below it, the button row under the text.
    const double chrome = SDialogTitleBar::kHeight + 16 + SPopupDialog::kButtonRowHeight;
    const double textHeight = SDC::MeasureText(text, kFont, kFormat, kWidth - 2 * kInset).height;
    return std::max(kHeight, std::ceil(textHeight + 2 * kInset + chrome));
}

int STesselDownloadDlg::Show(SWindowFrame* owner, const std::string& title) {
    STesselDownloadDlg notice;
    SPopupDialog dialog(&notice, kYesNoButtons, "STesselDownloadDlg");
    const int result = dialog.DoModalResult(owner, title, SSize(kWidth, HeightFor(NoticeText())));
    if (result == kResultOpenPage) {
        const std::string page = DownloadPage();
        const bool opened = platform::process::openUrl(page);
        _Log(LOG_INFO, "STesselDownloadDlg::Show", __LINE__, "open %s: %s", page.c_str(),
             opened ? "ok" : "failed");
    }
    return result;
}

void STesselDownloadDlg::OnCreate() {
    m_text = NoticeText();
}

void STesselDownloadDlg::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.FillRect(own, kBackground);
    const SRect box(own.left + kInset, own.top + kInset, own.right - kInset, own.bottom - kInset);
    if (box.IsEmpty() || m_text.empty()) {
        return;
    }
    // Vertically centred: measured first, as word-wrapped text has no centring flag.
    const SSize size = SDC::MeasureText(m_text, kFont, kFormat, box.Width());
    const double top = box.top + std::max(0.0, (box.Height() - size.height) / 2);
    // What is drawn is what a screen reader reads.
    SetAccessibleName(m_text);
    SetAccessibleRole("label");
    dc.DrawText(m_text, SRect(box.left, top, box.right, box.bottom), kFormat, kFont,
                SPalette::kText);
}

}  // namespace updater
