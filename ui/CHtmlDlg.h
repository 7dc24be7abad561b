#pragma once

#include <string>

#include "ui/SCommonButton.h"
#include "ui/SDialogFrame.h"
#include "ui/SHtmlView.h"

// The dialog that shows a local HTML page (the licence notices): its text in a scrolling view
// and a button that opens the page in the user's browser. Modal, closed with its close button.
class CHtmlDlg : public SDialogFrame {
public:
    static constexpr double kButtonRow = 48;

    explicit CHtmlDlg(std::string path);
    ~CHtmlDlg() override;

    // Creates the window; logs "Warning: couldn't create wnd." when it cannot. Returns 1 on
    // success.
    int CreateWnd(SWindowFrame* ownerFrame, const std::string& title, const SSize& size);
    // Creates, shows and runs the dialog modally until it closes. Returns 1 when it ran.
    int DoModal(SWindowFrame* ownerFrame, const std::string& title, const SSize& size);

    SHtmlView& GetView() { return m_view; }
    const std::string& GetPath() const { return m_path; }

    void OnCreateContent() override;
    void ButtonClicked(SButton* button) override;

private:
    std::string m_path;
    SHtmlView m_view;
    SPanel m_line;
    SCommonButton m_openButton;
};
