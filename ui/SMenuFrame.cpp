#include "ui/SMenuFrame.h"

#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "platform/window/Backend.h"
#include "platform/window/Keys.h"
#include "ui/ICommandDelegate.h"
#include "ui/SDispatcher.h"
#include "ui/SImage.h"

using platform::window::WindowEvent;

SMenuFrame::SMenuFrame() {
    zoomMode = 1;
}

SMenuFrame::~SMenuFrame() {
    Destroy();
}

void SMenuFrame::ResetState() {
    m_hasFocus = false;
    SetKeyItem(-1);
    for (auto& item : m_items) {
        item->ResetHoveredWidget();
    }
}

SSize SMenuFrame::SizeFor(const SMenuDefinition& menu) {
    double width = kMinimumWidth - 2 * SMenuPanel::kInsetSide;
    double height = 0;
    const std::size_t count = std::min(menu.entries.size(), kMaxItems);
    for (std::size_t i = 0; i < count; ++i) {
        width = std::max(width, std::ceil(SMenuItem::WidthFor(menu.entries[i])));
        height += SMenuItem::HeightFor(menu.entries[i]);
    }
    return SSize(width + 2 * SMenuPanel::kInsetSide, height + 2 * SMenuPanel::kInsetTopBottom);
}

int SMenuFrame::Open(SWindowFrame* owner, SMenuDefinition* menu, int screenX, int screenY) {
    if (menu == nullptr || menu->entries.empty()) {
        return 0;
    }
    if (m_open) {
        CloseMenu();
    }
    const double zoomFactor = SDispatcher::GetZoomFactor();
    const SSize size = SizeFor(*menu);
    const int width = static_cast<int>(std::ceil(size.width * zoomFactor));
    const int height = static_cast<int>(std::ceil(size.height * zoomFactor));
    if (!IsWindow()) {
        SFrameOptions options;
        options.title = "Menu";
        options.rect = SRect(screenX, screenY, screenX + width, screenY + height);
        options.style = platform::window::kStyleBorderless | platform::window::kStyleSkipTaskbar |
                        platform::window::kStylePopupMenu | platform::window::kStyleTranslucent;
        options.owner = owner;
        if (Create(options) == 0) {
            _Log(LOG_WARNING, "SMenuFrame::Open", __LINE__, "the menu window cannot be made");
            return 0;
        }
    } else {
        SetClientSize(width, height);
        MoveWindow(screenX, screenY);
    }
    this->owner = owner;
    m_menuOwner = owner;
    BuildItems(menu);
    ResetState();
    ++m_opening;
    m_open = true;
    Show();
    GetWindow()->raise();
    m_panel.Invalidate();
    return 1;
}

void SMenuFrame::CloseMenu() {
    if (!m_open) {
        return;
    }
    m_open = false;
    m_hasFocus = false;
    ResetState();
    Hide();
    if (m_closedHandler) {
        m_closedHandler();
    }
}

void SMenuFrame::OwnerLostFocus() {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (!m_open || dispatcher == nullptr) {
        return;
    }
    const uint64_t opening = m_opening;
    dispatcher->GetBackend().postCall([this, opening] {
        if (m_open && m_opening == opening && !m_hasFocus) {
            CloseMenu();
        }
    });
}

SMenuItem* SMenuFrame::GetItem(std::size_t index) {
    return index < m_itemCount ? m_items[index].get() : nullptr;
}

int SMenuFrame::OnCreate() {
    m_panel.LoadDropDownSlices();
    m_panel.CreateRoot(&GetAgent(), "SMenuPanel");
    m_checkImage = LoadImage("\\res\\dropdown\\dorp_down_check.png");
    return 0;
}

void SMenuFrame::BuildItems(SMenuDefinition* menu) {
    const std::size_t count = std::min(menu->entries.size(), kMaxItems);
    if (menu->entries.size() > kMaxItems) {
        _Log(LOG_WARNING, "SMenuFrame::BuildItems", __LINE__, "menu '%s': only %zu of %zu shown",
             menu->name.c_str(), kMaxItems, menu->entries.size());
    }
    for (std::size_t i = 0; i < m_itemCount; ++i) {
        m_items[i]->SetVisible(0);
    }
    double top = SMenuPanel::kInsetTopBottom;
    for (std::size_t i = 0; i < count; ++i) {
        if (i >= m_items.size()) {
            m_items.push_back(std::make_unique<SMenuItem>());
        }
        SMenuItem& item = *m_items[i];
        const double height = SMenuItem::HeightFor(menu->entries[i]);
        const SMargin margin(SMenuPanel::kInsetSide, top, SMenuPanel::kInsetSide, -1);
        if (item.IsCreated() == 0) {
            item.Create("SMenuItem " + std::to_string(i), &m_panel, margin, SSize(0, height));
        } else {
            item.SetMargin(margin);
            item.SetSize(SSize(0, height));
        }
        item.SetEntry(menu, i);
        item.SetDelegate(this);
        item.SetCheckImage(m_checkImage.get());
        item.SetVisible(1);
        top += height;
    }
    m_itemCount = count;
    m_panel.ArrangeChildren();
}

void SMenuFrame::MenuItemChosen(SMenuItem* item) {
    const SMenuEntry* entry = item != nullptr ? item->GetEntry() : nullptr;
    if (!m_open || entry == nullptr || !entry->IsChoosable()) {
        return;
    }
    const int command = entry->command;
    CloseMenu();
    PostCommand(command);
}

void SMenuFrame::PostCommand(int command) {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr || m_menuOwner == nullptr || !m_menuOwner->IsWindow()) {
        return;
    }
    WindowEvent event;
    event.type = WindowEvent::Type::User;
    event.window = m_menuOwner->GetWindow()->id();
    event.code = ICommandDelegate::kCommandMessage;
    event.param = static_cast<intptr_t>(command & 0xFFFF);
    dispatcher->GetBackend().post(std::move(event));
}

void SMenuFrame::OnClose() {
    // The platform's close request (e.g. Alt+F4 on the menu) only hides it.
    CloseMenu();
}

void SMenuFrame::SetKeyItem(int index) {
    for (std::size_t i = 0; i < m_itemCount && i < m_items.size(); ++i) {
        m_items[i]->SetKeyHighlight(static_cast<int>(i) == index ? 1 : 0);
    }
    m_keyItem = index;
}

void SMenuFrame::MoveKeyItem(int step) {
    const int count = static_cast<int>(std::min(m_itemCount, m_items.size()));
    if (count == 0) {
        return;
    }
    int index = m_keyItem;
    for (int tried = 0; tried < count; ++tried) {
        index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
        if (m_items[static_cast<std::size_t>(index)]->IsChoosable()) {
            SetKeyItem(index);
            return;
        }
    }
}

int SMenuFrame::PreTranslateKey(const SKeyMessage& message) {
    namespace keys = platform::window::keys;
    if (message.message == WM_KEYDOWN && message.key == keys::kEscape) {
        CloseMenu();
        return 1;
    }
    if (message.message == WM_KEYDOWN && (message.key == keys::kDown || message.key == keys::kUp)) {
        MoveKeyItem(message.key == keys::kDown ? 1 : -1);
        return 1;
    }
    if (message.message == WM_KEYDOWN &&
        (message.key == keys::kReturn || message.key == keys::kSpace)) {
        // Without a highlighted entry the key does nothing; it never reaches what lies under
        // the menu.
        if (message.flags == 0 && m_keyItem >= 0 &&
            static_cast<std::size_t>(m_keyItem) < m_items.size()) {
            SMenuItem* item = m_items[static_cast<std::size_t>(m_keyItem)].get();
            if (item->IsChoosable()) {
                MenuItemChosen(item);
            }
        }
        return 1;
    }
    return SWindowFrame::PreTranslateKey(message);
}

void SMenuFrame::onWindowEvent(const WindowEvent& event) {
    if (event.type == WindowEvent::Type::MouseMove && m_keyItem >= 0) {
        SetKeyItem(-1);  // the pointer takes over from the arrow keys
    }
    if (event.type == WindowEvent::Type::FocusGained) {
        m_hasFocus = true;
    } else if (event.type == WindowEvent::Type::FocusLost) {
        m_hasFocus = false;
        CloseMenu();
        return;
    }
    SWindowFrame::onWindowEvent(event);
}
