#include "platform/desktop/dbus/StatusNotifierItemObject.h"

#include "platform/desktop/dbus/SniTypes.h"

namespace platform::desktop {

StatusNotifierItemObject::StatusNotifierItemObject(sdbus::IConnection& connection,
                                                   std::string itemId, std::string menuPath,
                                                   std::function<void()> activated)
    : m_object(sdbus::createObject(connection, "/StatusNotifierItem")),
      m_itemId(std::move(itemId)),
      m_menuPath(std::move(menuPath)),
      m_activated(std::move(activated)) {
    registerInterface();
    m_object->finishRegistration();
}

StatusNotifierItemObject::~StatusNotifierItemObject() = default;

void StatusNotifierItemObject::registerInterface() {
    using sni::kItemInterface;
    auto text = [this](const char* name, std::function<std::string()> getter) {
        m_object->registerProperty(name).onInterface(kItemInterface).withGetter(std::move(getter));
    };
    text("Category", [] { return std::string("Hardware"); });
    text("Id", [this] { return m_itemId; });
    text("Title", [this] { return m_content.title; });
    text("Status", [] { return std::string("Active"); });
    // No themed names: the pixmaps are the icon, so every panel shows the same picture.
    text("IconName", [] { return std::string(); });
    text("OverlayIconName", [] { return std::string(); });
    text("AttentionIconName", [] { return std::string(); });
    text("AttentionMovieName", [] { return std::string(); });
    text("IconThemePath", [] { return std::string(); });
    m_object->registerProperty("WindowId").onInterface(kItemInterface).withGetter([] {
        return int32_t{0};
    });
    m_object->registerProperty("ItemIsMenu").onInterface(kItemInterface).withGetter([] {
        return false;
    });
    m_object->registerProperty("Menu").onInterface(kItemInterface).withGetter([this] {
        return sdbus::ObjectPath(m_menuPath);
    });
    m_object->registerProperty("IconPixmap").onInterface(kItemInterface).withGetter([this] {
        return sni::ToWire(m_content.icon);
    });
    for (const char* none : {"OverlayIconPixmap", "AttentionIconPixmap"}) {
        m_object->registerProperty(none).onInterface(kItemInterface).withGetter([] {
            return std::vector<sni::Pixmap>{};
        });
    }
    m_object->registerProperty("ToolTip").onInterface(kItemInterface).withGetter([this] {
        return sni::ToolTip(std::string(), sni::ToWire(m_content.icon), m_content.tooltipTitle,
                            m_content.tooltipText);
    });

    auto activate = [this](int32_t, int32_t) {
        if (m_activated) {
            m_activated();
        }
    };
    m_object->registerMethod("Activate").onInterface(kItemInterface).implementedAs(activate);
    // A middle click and the panel's own context menu request: the menu object serves menus,
    // and there is no second action.
    m_object->registerMethod("SecondaryActivate")
        .onInterface(kItemInterface)
        .implementedAs([](int32_t, int32_t) {});
    m_object->registerMethod("ContextMenu")
        .onInterface(kItemInterface)
        .implementedAs([](int32_t, int32_t) {});
    m_object->registerMethod("Scroll")
        .onInterface(kItemInterface)
        .implementedAs([](int32_t, const std::string&) {});

    for (const char* signal :
         {"NewTitle", "NewIcon", "NewAttentionIcon", "NewOverlayIcon", "NewToolTip"}) {
        m_object->registerSignal(signal).onInterface(kItemInterface);
    }
    m_object->registerSignal("NewStatus").onInterface(kItemInterface).withParameters<std::string>();
}

void StatusNotifierItemObject::update(const TrayContent& content) {
    const bool title = content.title != m_content.title;
    const bool icon = content.icon != m_content.icon;
    const bool tooltip = icon || content.tooltipTitle != m_content.tooltipTitle ||
                         content.tooltipText != m_content.tooltipText;
    m_content = content;
    if (title) {
        m_object->emitSignal("NewTitle").onInterface(sni::kItemInterface);
    }
    if (icon) {
        m_object->emitSignal("NewIcon").onInterface(sni::kItemInterface);
    }
    if (tooltip) {
        m_object->emitSignal("NewToolTip").onInterface(sni::kItemInterface);
    }
}

}  // namespace platform::desktop
