#include "platform/desktop/dbus/DbusMenuObject.h"

#include <algorithm>
#include <string>
#include <tuple>

#include "platform/desktop/dbus/SniTypes.h"

namespace platform::desktop {

namespace {

using sni::MenuLayout;
using sni::Properties;
using Kind = TrayMenuEntry::Kind;

constexpr int32_t kRootId = 0;

Properties RootProperties() {
    return {{"children-display", sdbus::Variant(std::string("submenu"))}};
}

Properties EntryProperties(const TrayMenuEntry& entry) {
    Properties properties;
    if (entry.kind == Kind::Separator) {
        properties["type"] = sdbus::Variant(std::string("separator"));
        return properties;
    }
    properties["label"] = sdbus::Variant(entry.label);
    // A plain text line (a battery level) is shown but cannot be chosen.
    properties["enabled"] = sdbus::Variant(entry.kind != Kind::Text);
    if (entry.kind == Kind::Toggle) {
        properties["toggle-type"] = sdbus::Variant(std::string("checkmark"));
        properties["toggle-state"] = sdbus::Variant(int32_t{entry.checked ? 1 : 0});
    }
    return properties;
}

// Only the properties the panel asked for; all of them when it named none.
Properties Filtered(Properties properties, const std::vector<std::string>& wanted) {
    if (wanted.empty()) {
        return properties;
    }
    std::erase_if(properties, [&](const auto& property) {
        return std::find(wanted.begin(), wanted.end(), property.first) == wanted.end();
    });
    return properties;
}

}  // namespace

DbusMenuObject::DbusMenuObject(sdbus::IConnection& connection, const char* path,
                               std::function<void(int id)> chosen)
    : m_object(sdbus::createObject(connection, path)), m_chosen(std::move(chosen)) {
    registerInterface();
    m_object->finishRegistration();
}

DbusMenuObject::~DbusMenuObject() = default;

const TrayMenuEntry* DbusMenuObject::find(int32_t id) const {
    for (const TrayMenuEntry& entry : m_entries) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

void DbusMenuObject::registerInterface() {
    using sni::kMenuInterface;
    m_object->registerProperty("Version").onInterface(kMenuInterface).withGetter([] {
        return uint32_t{3};
    });
    m_object->registerProperty("TextDirection").onInterface(kMenuInterface).withGetter([this] {
        return std::string(m_rightToLeft ? "rtl" : "ltr");
    });
    m_object->registerProperty("Status").onInterface(kMenuInterface).withGetter([] {
        return std::string("normal");
    });
    m_object->registerProperty("IconThemePath").onInterface(kMenuInterface).withGetter([] {
        return std::vector<std::string>{};
    });

    m_object->registerMethod("GetLayout")
        .onInterface(kMenuInterface)
        .implementedAs(
            [this](int32_t parentId, int32_t depth, const std::vector<std::string>& names) {
                std::vector<sdbus::Variant> children;
                if (parentId == kRootId && depth != 0) {
                    for (const TrayMenuEntry& entry : m_entries) {
                        children.emplace_back(MenuLayout(entry.id,
                                                         Filtered(EntryProperties(entry), names),
                                                         std::vector<sdbus::Variant>{}));
                    }
                } else if (const TrayMenuEntry* entry = find(parentId)) {
                    return std::make_tuple(
                        m_revision, MenuLayout(parentId, Filtered(EntryProperties(*entry), names),
                                               std::vector<sdbus::Variant>{}));
                }
                return std::make_tuple(m_revision,
                                       MenuLayout(kRootId, RootProperties(), std::move(children)));
            });
    m_object->registerMethod("GetGroupProperties")
        .onInterface(kMenuInterface)
        .implementedAs(
            [this](const std::vector<int32_t>& ids, const std::vector<std::string>& names) {
                std::vector<sdbus::Struct<int32_t, Properties>> found;
                for (int32_t id : ids) {
                    if (id == kRootId) {
                        found.emplace_back(id, Filtered(RootProperties(), names));
                    } else if (const TrayMenuEntry* entry = find(id)) {
                        found.emplace_back(id, Filtered(EntryProperties(*entry), names));
                    }
                }
                return found;
            });
    m_object->registerMethod("GetProperty")
        .onInterface(kMenuInterface)
        .implementedAs([this](int32_t id, const std::string& name) {
            const TrayMenuEntry* entry = find(id);
            const Properties properties = entry != nullptr ? EntryProperties(*entry)
                                          : id == kRootId  ? RootProperties()
                                                           : Properties{};
            const auto found = properties.find(name);
            if (found == properties.end()) {
                throw sdbus::Error("com.canonical.dbusmenu.Error.NoSuchProperty", name);
            }
            return found->second;
        });
    auto onEvent = [this](int32_t id, const std::string& event) {
        const TrayMenuEntry* entry = find(id);
        if (event == "clicked" && entry != nullptr && m_chosen &&
            (entry->kind == Kind::Action || entry->kind == Kind::Toggle)) {
            m_chosen(id);
        }
    };
    m_object->registerMethod("Event")
        .onInterface(kMenuInterface)
        .implementedAs([onEvent](int32_t id, const std::string& event, const sdbus::Variant&,
                                 uint32_t) { onEvent(id, event); });
    m_object->registerMethod("EventGroup")
        .onInterface(kMenuInterface)
        .implementedAs(
            [this, onEvent](
                const std::vector<sdbus::Struct<int32_t, std::string, sdbus::Variant, uint32_t>>&
                    events) {
                std::vector<int32_t> unknown;
                for (const auto& event : events) {
                    const int32_t id = event.get<0>();
                    if (id != kRootId && find(id) == nullptr) {
                        unknown.push_back(id);
                    }
                    onEvent(id, event.get<1>());
                }
                return unknown;
            });
    m_object->registerMethod("AboutToShow").onInterface(kMenuInterface).implementedAs([](int32_t) {
        return false;
    });
    m_object->registerMethod("AboutToShowGroup")
        .onInterface(kMenuInterface)
        .implementedAs([](const std::vector<int32_t>&) {
            return std::make_tuple(std::vector<int32_t>{}, std::vector<int32_t>{});
        });

    m_object->registerSignal("LayoutUpdated")
        .onInterface(kMenuInterface)
        .withParameters<uint32_t, int32_t>();
    m_object->registerSignal("ItemsPropertiesUpdated")
        .onInterface(kMenuInterface)
        .withParameters<std::vector<sdbus::Struct<int32_t, Properties>>,
                        std::vector<sdbus::Struct<int32_t, std::vector<std::string>>>>();
    m_object->registerSignal("ItemActivationRequested")
        .onInterface(kMenuInterface)
        .withParameters<int32_t, uint32_t>();
}

void DbusMenuObject::update(const std::vector<TrayMenuEntry>& entries, bool rightToLeft) {
    if (entries == m_entries && rightToLeft == m_rightToLeft) {
        return;
    }
    m_entries = entries;
    m_rightToLeft = rightToLeft;
    ++m_revision;
    m_object->emitSignal("LayoutUpdated")
        .onInterface(sni::kMenuInterface)
        .withArguments(m_revision, kRootId);
}

}  // namespace platform::desktop
