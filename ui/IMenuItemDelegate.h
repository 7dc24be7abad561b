#pragma once

class SMenuItem;

// Told when the user chooses an item of a drop-down menu.
class IMenuItemDelegate {
public:
    virtual ~IMenuItemDelegate() = default;
    // The pointer was released over an enabled, non-separator item.
    virtual void MenuItemChosen(SMenuItem* item) = 0;
};
