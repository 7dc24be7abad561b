#include "ui/SButtonGroup.h"

#include <algorithm>

#include "ui/SButton.h"

SButtonGroup::~SButtonGroup() {
    // Buttons that outlive the group must not point at it.
    const std::vector<SButton*> members = buttons;
    for (SButton* button : members) {
        button->SetGroup(nullptr);
    }
}

void SButtonGroup::Add(SButton* button) {
    if (button != nullptr && std::find(buttons.begin(), buttons.end(), button) == buttons.end()) {
        buttons.push_back(button);
    }
}

void SButtonGroup::Remove(SButton* button) {
    std::erase(buttons, button);
}

SButton* SButtonGroup::GetChecked() const {
    for (SButton* button : buttons) {
        if (button->GetChecked() != 0) {
            return button;
        }
    }
    return nullptr;
}
