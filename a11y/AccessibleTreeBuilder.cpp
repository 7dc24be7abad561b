#include "a11y/AccessibleTreeBuilder.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "a11y/Roles.h"
#include "a11y/States.h"
#include "a11y/WidgetDescriber.h"
#include "platform/window/Keys.h"
#include "services/SLocale.h"
#include "ui/SButton.h"
#include "ui/SDispatcher.h"
#include "ui/SHyperlinkButton.h"
#include "ui/SMenuItem.h"
#include "ui/SMouseEventArgs.h"
#include "ui/STTableView.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

namespace a11y {

namespace {

Extents ToExtents(const SRect& rect) {
    return Extents{
        static_cast<int>(std::lround(rect.left)), static_cast<int>(std::lround(rect.top)),
        static_cast<int>(std::lround(rect.Width())), static_cast<int>(std::lround(rect.Height()))};
}

Extents Shifted(Extents extents, const Extents& by) {
    extents.x += by.x;
    extents.y += by.y;
    return extents;
}

// "de-DE" as POSIX locales spell it: "de_DE".
std::string PosixLocale(std::string tag) {
    std::replace(tag.begin(), tag.end(), '-', '_');
    return tag;
}

}  // namespace

AccessibleTreeBuilder::AccessibleTreeBuilder(SDispatcher& dispatcher, std::string applicationName)
    : m_dispatcher(dispatcher), m_applicationName(std::move(applicationName)) {}

uint32_t AccessibleTreeBuilder::IdFor(const void* object, int row, const std::string& name) {
    Key key{object, row, name};
    auto it = m_ids.find(key);
    const uint32_t id = it != m_ids.end() ? it->second : m_nextId++;
    m_seen.emplace(std::move(key), id);
    return id;
}

SnapshotPtr AccessibleTreeBuilder::Build() {
    auto snapshot = std::make_shared<AccessibleSnapshot>();
    snapshot->applicationName = m_applicationName;
    snapshot->locale = PosixLocale(AfxGetLocale()->GetLanguage());
    m_seen.clear();
    m_targets.clear();
    AccessibleNode& root = snapshot->nodes[0];
    root.role = role::kApplication;
    root.name = m_applicationName;
    root.accessibleId = m_applicationName;
    for (SWindowFrame* frame : m_dispatcher.GetFrames()) {
        if (frame->GetWindow() != nullptr && frame->GetWindow()->isVisible() &&
            frame->GetAgent().GetRoot() != nullptr) {
            AddFrame(*frame, *snapshot);
        }
    }
    // Ids of things that are gone are forgotten, so a new widget at a reused address with the
    // same name is not mistaken for an old one for longer than one snapshot.
    m_ids.swap(m_seen);
    return snapshot;
}

void AccessibleTreeBuilder::AddFrame(SWindowFrame& frame, AccessibleSnapshot& snapshot) {
    const uint32_t id = IdFor(&frame, -1, frame.GetTitle());
    AccessibleNode node;
    node.id = id;
    node.parent = 0;
    node.window = id;
    WidgetDescriber::DescribeFrame(frame, node);
    const platform::window::Rect screen = frame.GetWindow()->screenRect();
    node.inWindow = Extents{0, 0, screen.width, screen.height};
    node.onScreen = Extents{screen.x, screen.y, screen.width, screen.height};
    snapshot.nodes[0].children.push_back(id);
    m_targets[id] = Target{&frame, nullptr, -1};
    SWindowBase* rootWidget = frame.GetAgent().GetRoot();
    const Extents origin = node.onScreen;
    snapshot.nodes[id] = std::move(node);
    const uint32_t child = AddWidget(*rootWidget, id, id, origin, snapshot);
    if (child != 0) {
        snapshot.nodes[id].children.push_back(child);
    }
}

uint32_t AccessibleTreeBuilder::AddWidget(SWindowBase& widget, uint32_t parent, uint32_t window,
                                          const Extents& windowOnScreen,
                                          AccessibleSnapshot& snapshot) {
    if (widget.GetVisible() == 0) {
        return 0;
    }
    const uint32_t id = IdFor(&widget, -1, widget.GetName());
    AccessibleNode node;
    node.id = id;
    node.parent = parent;
    node.window = window;
    WidgetDescriber::Describe(widget, node);
    // A window that a modal dialog disabled takes no input: nothing in it can be used now.
    if (!node.actions.empty() && !snapshot.nodes[window].HasState(state::kEnabled)) {
        node.states &= ~((uint64_t{1} << state::kEnabled) | (uint64_t{1} << state::kSensitive));
    }
    node.inWindow = ToExtents(widget.GetRect(SWindowBase::kRectInFrame, 0));
    node.onScreen = Shifted(node.inWindow, windowOnScreen);
    m_targets[id] = Target{nullptr, &widget, -1};
    if (dynamic_cast<STTableView*>(&widget) != nullptr) {
        AddRows(widget, node, windowOnScreen, snapshot);
    }
    for (SWindowBase* child : widget.GetPaintOrder()) {
        if (const uint32_t childId = AddWidget(*child, id, window, windowOnScreen, snapshot);
            childId != 0) {
            node.children.push_back(childId);
        }
    }
    snapshot.nodes[id] = std::move(node);
    return id;
}

void AccessibleTreeBuilder::AddRows(SWindowBase& widget, AccessibleNode& node,
                                    const Extents& windowOnScreen, AccessibleSnapshot& snapshot) {
    auto& table = static_cast<STTableView&>(widget);
    const SRect tableInFrame = widget.GetRect(SWindowBase::kRectInFrame, 0);
    const double zoom = widget.GetZoom();
    for (int row = 0; row < table.GetItemCount(); ++row) {
        const uint32_t id = IdFor(&widget, row, widget.GetName());
        AccessibleNode rowNode;
        rowNode.id = id;
        rowNode.parent = node.id;
        rowNode.window = node.window;
        WidgetDescriber::DescribeRow(widget, row, rowNode);
        const SRect local = table.RowRect(row).Scaled(zoom);
        rowNode.inWindow = ToExtents(local.Offset(tableInFrame.left, tableInFrame.top));
        rowNode.onScreen = Shifted(rowNode.inWindow, windowOnScreen);
        node.children.push_back(id);
        m_targets[id] = Target{nullptr, &widget, row};
        snapshot.nodes[id] = std::move(rowNode);
    }
}

bool AccessibleTreeBuilder::InEnabledWindow(const Target& target) {
    // A user cannot press anything in a window that a modal dialog disabled; neither can a
    // client of the bus.
    SWindowAgent* agent = target.widget != nullptr ? target.widget->GetAgent() : nullptr;
    SWindowFrame* frame = agent != nullptr ? agent->GetFrame() : nullptr;
    return frame != nullptr && frame->GetWindow() != nullptr && frame->GetWindow()->isEnabled();
}

bool AccessibleTreeBuilder::DoAction(uint32_t id, int index) {
    Build();
    const auto it = m_targets.find(id);
    if (it == m_targets.end() || index != 0) {
        return false;
    }
    const Target target = it->second;
    namespace keys = platform::window::keys;
    if (target.row >= 0 && InEnabledWindow(target)) {
        auto* table = static_cast<STTableView*>(target.widget);
        table->SetSelectedRow(target.row);
        table->KeyDown(keys::kReturn, 0);
        return true;
    }
    if (target.widget == nullptr || target.widget->GetEnabled() == 0 || !InEnabledWindow(target)) {
        return false;
    }
    if (auto* item = dynamic_cast<SMenuItem*>(target.widget)) {
        if (!item->IsChoosable()) {
            return false;
        }
        item->OnLButtonUp(SMouseEventArgs{});
        return true;
    }
    if (auto* link = dynamic_cast<SHyperlinkButton*>(target.widget)) {
        link->KeyDown(keys::kReturn, 0);
        return true;
    }
    if (auto* button = dynamic_cast<SButton*>(target.widget)) {
        button->PerformClick();
        return true;
    }
    return false;
}

bool AccessibleTreeBuilder::GrabFocus(uint32_t id) {
    Build();
    const auto it = m_targets.find(id);
    if (it == m_targets.end()) {
        return false;
    }
    const Target target = it->second;
    if (target.frame != nullptr) {
        target.frame->GetWindow()->raise();
        return true;
    }
    if (target.widget == nullptr || target.widget->IsFocusable() == 0) {
        return false;
    }
    target.widget->SetFocus();
    return true;
}

}  // namespace a11y
