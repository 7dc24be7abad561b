#pragma once

#include "a11y/AccessibleNode.h"

class SWindowBase;
class SWindowFrame;

namespace a11y {

// Reads what assistive technology needs from one widget or window: role, name, actions, text
// and value, by what kind of widget it is. UI thread only; it changes nothing.
class WidgetDescriber {
public:
    // Role, name, states, actions, text and value of a widget (not its place in the tree).
    static void Describe(SWindowBase& widget, AccessibleNode& node);
    // Role, name and states of a window.
    static void DescribeFrame(SWindowFrame& frame, AccessibleNode& node);
    // A list row of a table: its text is the row's values, its one action chooses it.
    static void DescribeRow(SWindowBase& table, int row, AccessibleNode& node);

private:
    static void DescribeStates(SWindowBase& widget, AccessibleNode& node);
    static bool DescribeButton(SWindowBase& widget, AccessibleNode& node);
    static bool DescribeText(SWindowBase& widget, AccessibleNode& node);
    static bool DescribeOther(SWindowBase& widget, AccessibleNode& node);
};

}  // namespace a11y
