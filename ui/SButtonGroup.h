#pragma once

#include <vector>

class SButton;

// Buttons of which exactly one is checked (radio buttons). With selectOnPress a button is
// selected as soon as it is pressed, and while the mouse is held down sliding over the other
// buttons of the group selects them too.
class SButtonGroup {
public:
    SButtonGroup() = default;
    ~SButtonGroup();
    SButtonGroup(const SButtonGroup&) = delete;
    SButtonGroup& operator=(const SButtonGroup&) = delete;

    // The button joins (SButton::SetGroup calls these).
    void Add(SButton* button);
    void Remove(SButton* button);
    const std::vector<SButton*>& GetButtons() const { return buttons; }
    // The checked button, or null.
    SButton* GetChecked() const;

    std::vector<SButton*> buttons;
    int selectOnPress = 0;
    int mouseHeld = 0;
};
