#include "a11y/Roles.h"

#include <cstring>

#include "a11y/States.h"

namespace a11y {

namespace {

struct RoleEntry {
    uint32_t role;
    const char* name;
};

constexpr RoleEntry kRoles[] = {
    {role::kAlert, "alert"},
    {role::kCheckBox, "check box"},
    {role::kDialog, "dialog"},
    {role::kFiller, "filler"},
    {role::kFrame, "frame"},
    {role::kImage, "image"},
    {role::kLabel, "label"},
    {role::kList, "list"},
    {role::kListItem, "list item"},
    {role::kMenu, "menu"},
    {role::kMenuItem, "menu item"},
    {role::kPanel, "panel"},
    {role::kPopupMenu, "popup menu"},
    {role::kProgressBar, "progress bar"},
    {role::kPushButton, "push button"},
    {role::kScrollPane, "scroll pane"},
    {role::kSeparator, "separator"},
    {role::kToolTip, "tool tip"},
    {role::kWindow, "window"},
    {role::kApplication, "application"},
    {role::kLink, "link"},
};

struct StateEntry {
    int state;
    const char* name;
};

constexpr StateEntry kStates[] = {
    {state::kActive, "active"},       {state::kChecked, "checked"},
    {state::kEnabled, "enabled"},     {state::kFocusable, "focusable"},
    {state::kFocused, "focused"},     {state::kModal, "modal"},
    {state::kPressed, "pressed"},     {state::kSelected, "selected"},
    {state::kSensitive, "sensitive"}, {state::kShowing, "showing"},
    {state::kVisible, "visible"},
};

}  // namespace

const char* RoleName(uint32_t role) {
    for (const RoleEntry& entry : kRoles) {
        if (entry.role == role) {
            return entry.name;
        }
    }
    return "unknown";
}

uint32_t RoleFromName(const char* name) {
    for (const RoleEntry& entry : kRoles) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.role;
        }
    }
    return 0;
}

const char* StateName(int state) {
    for (const StateEntry& entry : kStates) {
        if (entry.state == state) {
            return entry.name;
        }
    }
    return "";
}

}  // namespace a11y
