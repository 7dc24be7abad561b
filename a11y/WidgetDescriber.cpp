#include "a11y/WidgetDescriber.h"

#include <string>

#include "a11y/Roles.h"
#include "a11y/States.h"
#include "ui/SButton.h"
#include "ui/SCheckButton.h"
#include "ui/SCommonButton.h"
#include "ui/SCommonProgressBar.h"
#include "ui/SDialogFrame.h"
#include "ui/SHyperlinkButton.h"
#include "ui/SItem.h"
#include "ui/SLabel.h"
#include "ui/SLinkButton.h"
#include "ui/SMenuEntry.h"
#include "ui/SMenuFrame.h"
#include "ui/SMenuItem.h"
#include "ui/SMessageTextPanel.h"
#include "ui/SStaticImage.h"
#include "ui/STTableView.h"
#include "ui/STextButton.h"
#include "ui/SToolTipPanel.h"
#include "ui/SToolTipWindow.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

namespace a11y {

namespace {

void Set(AccessibleNode& node, int state, bool on = true) {
    if (on) {
        node.states |= uint64_t{1} << state;
    } else {
        node.states &= ~(uint64_t{1} << state);
    }
}

// The caption a button shows, whichever kind of button it is.
std::string ButtonCaption(SWindowBase& widget) {
    if (auto* text = dynamic_cast<STextButton*>(&widget)) {
        return text->GetText();
    }
    if (auto* common = dynamic_cast<SCommonButton*>(&widget)) {
        return common->GetText();
    }
    if (auto* link = dynamic_cast<SLinkButton*>(&widget)) {
        return link->GetText();
    }
    return {};
}

// Whether the tree under a widget holds a message text: such a dialog is an alert.
bool HoldsMessage(SWindowBase* widget) {
    if (widget == nullptr) {
        return false;
    }
    if (dynamic_cast<SMessageTextPanel*>(widget) != nullptr) {
        return true;
    }
    for (SWindowBase* child : widget->GetChildren()) {
        if (HoldsMessage(child)) {
            return true;
        }
    }
    return false;
}

// The caption a dialog's own title bar shows, empty when it has none.
std::string DialogCaption(SWindowBase* widget) {
    if (widget == nullptr) {
        return {};
    }
    if (auto* label = dynamic_cast<SLabel*>(widget);
        label != nullptr && label->GetName() == "DialogTitle") {
        return label->GetText();
    }
    for (SWindowBase* child : widget->GetChildren()) {
        if (std::string caption = DialogCaption(child); !caption.empty()) {
            return caption;
        }
    }
    return {};
}

}  // namespace

void WidgetDescriber::Describe(SWindowBase& widget, AccessibleNode& node) {
    node.accessibleId = widget.GetAccessibleId();
    node.className = widget.GetClassName();
    node.name = widget.GetAccessibleName();
    DescribeStates(widget, node);
    if (!DescribeButton(widget, node) && !DescribeText(widget, node)) {
        DescribeOther(widget, node);
    }
    if (const char* asked = widget.GetAccessibleRole(); asked != nullptr) {
        if (const uint32_t role = RoleFromName(asked); role != 0) {
            node.role = role;
        }
        // A widget that draws its own text and asks to be read as a label reads that text.
        if (node.role == role::kLabel && !node.hasText) {
            node.hasText = true;
            node.text = node.name;
        }
    }
    if (widget.GetAccessibleLevel() >= 0 && !node.hasValue) {
        node.hasValue = true;
        node.value = RangeValue{0, 100, static_cast<double>(widget.GetAccessibleLevel())};
        node.valueText = std::to_string(widget.GetAccessibleLevel()) + " %";
    }
}

void WidgetDescriber::DescribeStates(SWindowBase& widget, AccessibleNode& node) {
    Set(node, state::kVisible);
    Set(node, state::kShowing);
    // Pictures, texts and panels are disabled only to let the pointer through to what lies
    // behind them; to a reader they are as usable as anything else.
    const bool passive = dynamic_cast<SButton*>(&widget) == nullptr &&
                         dynamic_cast<SMenuItem*>(&widget) == nullptr &&
                         dynamic_cast<SHyperlinkButton*>(&widget) == nullptr;
    const bool enabled = passive || widget.GetEnabled() != 0;
    Set(node, state::kEnabled, enabled);
    Set(node, state::kSensitive, enabled);
    if (widget.IsFocusable() != 0) {
        Set(node, state::kFocusable);
        SWindowAgent* agent = widget.GetAgent();
        const bool windowActive = agent != nullptr && agent->IsActive();
        Set(node, state::kFocused, windowActive && widget.HasFocus() != 0);
    }
}

bool WidgetDescriber::DescribeButton(SWindowBase& widget, AccessibleNode& node) {
    if (auto* item = dynamic_cast<SMenuItem*>(&widget)) {
        const SMenuEntry* entry = item->GetEntry();
        if (entry != nullptr && entry->IsSeparator()) {
            node.role = role::kSeparator;
            return true;
        }
        node.role = role::kMenuItem;
        if (entry != nullptr) {
            node.name = entry->caption;
            Set(node, state::kEnabled, !entry->IsDisabled());
            Set(node, state::kSensitive, !entry->IsDisabled());
            if (entry->IsChecked()) {
                Set(node, state::kChecked);
            }
        }
        Set(node, state::kSelectable);
        Set(node, state::kSelected, item->HasKeyHighlight() != 0);
        node.actions = {"click"};
        return true;
    }
    if (auto* link = dynamic_cast<SHyperlinkButton*>(&widget)) {
        node.role = role::kLink;
        node.name = node.name.empty() ? link->GetText() : node.name;
        node.hasText = true;
        node.text = link->GetText();
        node.actions = {"jump"};
        return true;
    }
    auto* button = dynamic_cast<SButton*>(&widget);
    if (button == nullptr) {
        return false;
    }
    const std::string caption = ButtonCaption(widget);
    if (node.name.empty()) {
        node.name = caption;
    }
    if (dynamic_cast<SCheckButton*>(&widget) != nullptr) {
        node.role = role::kCheckBox;
        Set(node, state::kCheckable);
        Set(node, state::kChecked, button->GetChecked() != 0);
    } else if (button->GetType() == SButton::kToggle) {
        // A button that stays down while what it opened is open (the window menu).
        node.role = role::kPushButton;
        Set(node, state::kPressed, button->GetChecked() != 0);
    } else {
        node.role =
            dynamic_cast<SLinkButton*>(&widget) != nullptr ? role::kLink : role::kPushButton;
    }
    node.actions = {"click"};
    return true;
}

bool WidgetDescriber::DescribeText(SWindowBase& widget, AccessibleNode& node) {
    const std::string* text = nullptr;
    if (auto* label = dynamic_cast<SLabel*>(&widget)) {
        text = &label->GetText();
    } else if (auto* message = dynamic_cast<SMessageTextPanel*>(&widget)) {
        text = &message->GetText();
        Set(node, state::kMultiLine);
    } else if (auto* tip = dynamic_cast<SToolTipPanel*>(&widget)) {
        text = &tip->GetText();
    }
    if (text == nullptr) {
        return false;
    }
    node.role = role::kLabel;
    node.hasText = true;
    node.text = *text;
    Set(node, state::kReadOnly);
    if (node.name.empty()) {
        node.name = *text;
    }
    return true;
}

bool WidgetDescriber::DescribeOther(SWindowBase& widget, AccessibleNode& node) {
    if (auto* bar = dynamic_cast<SCommonProgressBar*>(&widget)) {
        node.role = role::kProgressBar;
        node.hasValue = true;
        node.value =
            RangeValue{static_cast<double>(bar->GetMinimum()),
                       static_cast<double>(bar->GetMaximum()), static_cast<double>(bar->GetPos())};
        node.valueText = std::to_string(static_cast<int>(bar->GetFraction() * 100 + 0.5)) + " %";
        return true;
    }
    if (dynamic_cast<SStaticImage*>(&widget) != nullptr) {
        node.role = role::kImage;
        return true;
    }
    if (auto* table = dynamic_cast<STTableView*>(&widget)) {
        node.role = role::kList;
        if (node.name.empty() && table->GetItemCount() == 0) {
            node.name = table->GetEmptyText();
        }
        return true;
    }
    node.role = widget.IsScrollable() != 0 ? role::kScrollPane : role::kPanel;
    return true;
}

void WidgetDescriber::DescribeRow(SWindowBase& widget, int row, AccessibleNode& node) {
    auto& table = static_cast<STTableView&>(widget);
    node.role = role::kListItem;
    node.className = "row";
    node.accessibleId = widget.GetAccessibleId() + " row " + std::to_string(row);
    const SItem* item = table.GetItem(row);
    std::string joined;
    if (item != nullptr) {
        for (const STTableView::Column& column : table.GetColumns()) {
            const std::string value = item->GetValue(column.valueKey);
            if (!value.empty()) {
                joined += joined.empty() ? value : ", " + value;
            }
        }
    }
    node.name = joined;
    node.hasText = true;
    node.text = joined;
    Set(node, state::kVisible);
    Set(node, state::kShowing);
    Set(node, state::kEnabled, widget.GetEnabled() != 0);
    Set(node, state::kSensitive, widget.GetEnabled() != 0);
    Set(node, state::kSelectable);
    Set(node, state::kSelected, table.GetSelectedRow() == row);
    node.actions = {"click"};
}

void WidgetDescriber::DescribeFrame(SWindowFrame& frame, AccessibleNode& node) {
    node.name = frame.GetTitle();
    SWindowBase* root = frame.GetAgent().GetRoot();
    node.accessibleId = root != nullptr ? root->GetName() : frame.GetTitle();
    if (dynamic_cast<SMenuFrame*>(&frame) != nullptr) {
        node.role = role::kPopupMenu;
        node.className = "SMenuFrame";
    } else if (auto* tip = dynamic_cast<SToolTipWindow*>(&frame)) {
        node.role = role::kToolTip;
        node.className = "SToolTipWindow";
        // A reader speaks a tooltip by its name: its text, not the window's title.
        if (const SToolTipPanel* panel = tip->GetCurrentPanel(); panel != nullptr) {
            node.name = panel->GetText();
        }
    } else if (dynamic_cast<SDialogFrame*>(&frame) != nullptr) {
        node.role = HoldsMessage(root) ? role::kAlert : role::kDialog;
        node.className = "SDialogFrame";
        if (std::string caption = DialogCaption(root); !caption.empty()) {
            node.name = std::move(caption);
        }
    } else {
        node.role = role::kFrame;
        node.className = "SWindowFrame";
    }
    Set(node, state::kVisible);
    Set(node, state::kShowing);
    Set(node, state::kEnabled, frame.GetWindow()->isEnabled());
    Set(node, state::kSensitive, frame.GetWindow()->isEnabled());
    Set(node, state::kActive, frame.GetAgent().IsActive());
    Set(node, state::kModal, frame.IsModalRunning());
}

}  // namespace a11y
