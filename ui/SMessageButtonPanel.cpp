#include "ui/SMessageButtonPanel.h"

#include "services/SLocale.h"

SMessageButtonPanel::SMessageButtonPanel() = default;

SMessageButtonPanel::~SMessageButtonPanel() {
    // The buttons unlink themselves; they go before the panel's own list does.
    m_buttons.clear();
}

std::vector<SMessageButtonPanel::Entry> SMessageButtonPanel::ButtonSet(int type) {
    const Entry ok{"MNU_Zephiro_OK", 1, "Button OK"};
    const Entry cancel{"MNU_Zephiro_Cancel", 2, "Button Cancel"};
    const Entry yes{"MNU_Yes", 6, "Button Yes"};
    const Entry no{"MNU_No", 7, "Button No"};
    switch (type) {
        case 1:
            return {ok, cancel};
        case 2:
            return {{"MNU_Abort", 3, "Button Abort"},
                    {"MNU_Retry", 4, "Button Retry"},
                    {"MNU_Ignore", 5, "Button Ignore"}};
        case 3:
            return {yes, no, cancel};
        case 4:
            return {yes, no};
        case 5:
            return {{"MNU_Retry", 4, "Button Retry"}, cancel};
        case 6:
            return {
                cancel, {"MNU_Retry", 10, "Button Retry"}, {"MNU_Continue", 11, "Button Continue"}};
        case 0:
        default:
            return {ok};
    }
}

void SMessageButtonPanel::SetButtons(int type, const std::vector<std::string>& captions) {
    m_type = type;
    m_captions = captions;
    if (IsCreated() != 0) {
        BuildButtons();
    }
}

SCommonButton* SMessageButtonPanel::GetButton(std::size_t index) const {
    return index < m_buttons.size() ? m_buttons[index].get() : nullptr;
}

int SMessageButtonPanel::GetResult(std::size_t index) const {
    return index < m_results.size() ? m_results[index] : 0;
}

void SMessageButtonPanel::OnCreate() {
    BuildButtons();
}

void SMessageButtonPanel::BuildButtons() {
    for (auto& button : m_buttons) {
        button->Destroy();
    }
    m_buttons.clear();
    m_results.clear();
    const std::vector<Entry> entries = ButtonSet(m_type);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string caption = i < m_captions.size() && !m_captions[i].empty()
                                        ? m_captions[i]
                                        : AfxGetStrRes(entries[i].captionKey);
        auto button = std::make_unique<SCommonButton>();
        button->SetStyle(kCaptionStyle);
        button->SetText(caption);
        button->SetDelegate(this);
        button->Create(caption, this, SMargin(-1, -1, -1, -1), SSize(kButtonWidth, kButtonHeight));
        button->SetAccessibleId(entries[i].accessibleId);
        m_buttons.push_back(std::move(button));
        m_results.push_back(entries[i].result);
    }
    Invalidate();
}

double SMessageButtonPanel::ChildStackOffset(SWindowBase* child) {
    const double n = static_cast<double>(m_buttons.size());
    const double width = GetRect(kRectOwnLogical, 0).Width();
    const double first = (width - (n * kButtonWidth + (n - 1) * kGap)) / 2;
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i].get() == child) {
            return first + static_cast<double>(i) * (kButtonWidth + kGap);
        }
    }
    return first;
}

void SMessageButtonPanel::ButtonClicked(SButton* button) {
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i].get() == button) {
            if (m_onResult) {
                m_onResult(m_results[i]);
            }
            return;
        }
    }
}
