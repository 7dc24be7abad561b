#include "ui/CHtmlDlg.h"

#include <filesystem>

#include "base/Log.h"
#include "platform/Process.h"
#include "services/SLocale.h"
#include "ui/SPalette.h"

CHtmlDlg::CHtmlDlg(std::string path) : m_path(std::move(path)) {}

CHtmlDlg::~CHtmlDlg() {
    Destroy();
}

int CHtmlDlg::CreateWnd(SWindowFrame* ownerFrame, const std::string& title, const SSize& size) {
    if (CreateDialog(ownerFrame, title, size) == 0) {
        _Log(LOG_WARNING, "CHtmlDlg::CreateWnd", __LINE__, "Warning: couldn't create wnd.");
        return 0;
    }
    return 1;
}

int CHtmlDlg::DoModal(SWindowFrame* ownerFrame, const std::string& title, const SSize& size) {
    if (CreateWnd(ownerFrame, title, size) == 0) {
        return 0;
    }
    return SDialogFrame::DoModal(ownerFrame, title, size);
}

void CHtmlDlg::OnCreateContent() {
    m_view.Create("SHtmlView", &GetContentArea(), SMargin(0, 4, 0, kButtonRow), SSize());
    m_view.LoadFile(m_path);
    m_line.SetBackgroundColor(SPalette::kLine);
    m_line.Create("Separator", &GetContentArea(), SMargin(0, -1, 0, kButtonRow), SSize(0, 1));
    m_openButton.SetStyle(12);
    m_openButton.SetText(AfxGetStrRes("MNU_OpenInBrowser"));
    m_openButton.SetAutoSize(1);
    m_openButton.SetDelegate(this);
    m_openButton.Create("Open In Browser Button", &GetContentArea(), SMargin(-1, -1, 12, 8),
                        SSize(160, 32));
    m_openButton.SetAutoSize(1);
}

void CHtmlDlg::ButtonClicked(SButton* button) {
    if (button == &m_openButton) {
        std::error_code ignored;
        const std::filesystem::path absolute = std::filesystem::absolute(m_path, ignored);
        const std::string target =
            absolute.empty() ? m_path : "file://" + absolute.lexically_normal().string();
        if (!platform::process::openUrl(target)) {
            _Log(LOG_WARNING, "CHtmlDlg::ButtonClicked", __LINE__, "cannot open %s",
                 target.c_str());
        }
        return;
    }
    SDialogFrame::ButtonClicked(button);
}
