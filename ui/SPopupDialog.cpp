#include "ui/SPopupDialog.h"

#include <algorithm>
#include <cmath>

#include "ui/SPopupPanelBase.h"

SPopupDialog::SPopupDialog(SWindowBase* content, int buttonType, std::string contentName)
    : m_content(content), m_contentName(std::move(contentName)), m_buttonType(buttonType) {}

SPopupDialog::~SPopupDialog() {
    Destroy();
}

void SPopupDialog::OnCreateContent() {
    m_result = kResultClosed;
    const bool buttons = m_buttonType != kNoButtons;
    const double bottom = buttons ? kButtonRowHeight : 0;
    m_contentPanel.Create("SContentPanel", &GetContentArea(), SMargin(0, 0, 0, bottom), SSize());
    if (m_content != nullptr) {
        if (auto* panel = dynamic_cast<SPopupPanelBase*>(m_content)) {
            panel->SetDialog(this);
        }
        m_content->Create(m_contentName, &m_contentPanel, SMargin(0, 0, 0, 0), SSize());
    }
    if (buttons) {
        m_buttonPanel.SetButtons(m_buttonType, m_captions);
        m_buttonPanel.SetResultHandler([this](int result) { EndDialog(result); });
        m_buttonPanel.Create("SMessageButtonPanel", &GetContentArea(), SMargin(0, -1, 0, 0),
                             SSize(0, kButtonRowHeight));
    }
}

SSize SPopupDialog::CardToHold(const SSize& minimum, const SSize& content, int buttonType) {
    // The content area lies below the title row and above the card's bottom margin.
    const double chrome = SDialogTitleBar::kHeight + (kContentBottom - kShadow) +
                          (buttonType != kNoButtons ? kButtonRowHeight : 0);
    const SSize largest = LargestCard();
    return SSize(
        std::min(largest.width, std::max(minimum.width, std::ceil(content.width))),
        std::min(largest.height, std::max(minimum.height, std::ceil(content.height) + chrome)));
}

int SPopupDialog::DoModalResult(SWindowFrame* ownerFrame, const std::string& title,
                                const SSize& size) {
    m_result = kResultClosed;
    DoModal(ownerFrame, title, size);
    return m_result;
}

void SPopupDialog::EndDialog(int result) {
    if (IsClosing() != 0) {
        return;  // the first answer stands
    }
    m_result = result;
    CloseDialog(1);
}

void SPopupDialog::PostEndDialog(int result) {
    PostToDialog([this, result] { EndDialog(result); });
}

void SPopupDialog::OnCancelKey() {
    for (std::size_t i = 0; i < m_buttonPanel.GetButtonCount(); ++i) {
        if (m_buttonPanel.GetResult(i) == kResultCancel) {
            EndDialog(kResultCancel);
            return;
        }
    }
    EndDialog(kResultClosed);
}

int SPopupDialog::OnDefaultKey() {
    for (std::size_t i = 0; i < m_buttonPanel.GetButtonCount(); ++i) {
        SCommonButton* button = m_buttonPanel.GetButton(i);
        if (m_buttonPanel.GetResult(i) != kResultCancel && button != nullptr &&
            button->GetEnabled() != 0 && button->GetVisible() != 0) {
            button->PerformClick();
            return 1;
        }
    }
    return 0;
}

void SPopupDialog::OnCloseButton() {
    EndDialog(kResultClosed);
}
