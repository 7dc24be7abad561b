#pragma once

#include <string>
#include <vector>

#include "ui/SDialogFrame.h"
#include "ui/SMessageButtonPanel.h"

// The standard popup: a dialog whose content is a given widget (laid out in "SContentPanel")
// above a row of standard buttons ("SMessageButtonPanel", 40 units high). Its result is the
// result id of the button pressed, kResultClosed when the dialog was closed otherwise (its
// close button, the platform), or what EndDialog was given. A content derived from
// SPopupPanelBase is told its dialog.
class SPopupDialog : public SDialogFrame {
public:
    static constexpr int kNoButtons = -1;
    static constexpr int kResultClosed = 8;
    static constexpr int kResultCancel = 2;
    static constexpr double kButtonRowHeight = 40;

    // content: created by the dialog under `contentName`; it must outlive the dialog's window.
    SPopupDialog(SWindowBase* content, int buttonType = 0,
                 std::string contentName = "SPopupContent");
    ~SPopupDialog() override;

    // Non-empty captions replace the button set's, left to right.
    void SetButtonCaptions(const std::vector<std::string>& captions) { m_captions = captions; }
    void SetSinglePopup(int single) { m_singlePopup = single; }
    int IsSinglePopup() const { return m_singlePopup; }

    // The card for a content of `content` logical units with the title row and, unless
    // kNoButtons, the button row: at least `minimum` (a dialog's own layout), larger where
    // the content needs it (long translations, text wider at a larger zoom), never larger
    // than the work area.
    static SSize CardToHold(const SSize& minimum, const SSize& content, int buttonType);

    // Runs the dialog modally; returns its result.
    int DoModalResult(SWindowFrame* ownerFrame, const std::string& title, const SSize& size);
    int GetResult() const { return m_result; }
    // Closes the dialog (animated) with a result. UI thread.
    void EndDialog(int result);
    // Any thread: EndDialog on the UI thread, if the dialog is still open then.
    void PostEndDialog(int result);

    SPanel& GetContentPanel() { return m_contentPanel; }
    SMessageButtonPanel& GetButtonPanel() { return m_buttonPanel; }

    void OnCreateContent() override;
    void OnCloseButton() override;
    // Escape: the Cancel button's result when the row has one, else the close result.
    void OnCancelKey() override;
    // Return: the row's default button, the leftmost one that is not Cancel.
    int OnDefaultKey() override;

private:
    SWindowBase* m_content;
    std::string m_contentName;
    int m_buttonType;
    std::vector<std::string> m_captions;
    int m_singlePopup = 0;
    int m_result = kResultClosed;
    SPanel m_contentPanel;
    SMessageButtonPanel m_buttonPanel;
};
