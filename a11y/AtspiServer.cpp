#include "a11y/AtspiServer.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "a11y/Roles.h"
#include "a11y/States.h"
#include "a11y/TextSegments.h"
#include "base/Log.h"

namespace a11y {

namespace {

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kComponent = "org.a11y.atspi.Component";
constexpr const char* kAction = "org.a11y.atspi.Action";
constexpr const char* kText = "org.a11y.atspi.Text";
constexpr const char* kValue = "org.a11y.atspi.Value";
constexpr const char* kApplication = "org.a11y.atspi.Application";
constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* kNullPath = "/org/a11y/atspi/null";

enum InterfaceBit : unsigned { kBitAction = 1, kBitText = 2, kBitValue = 4 };
// Coordinate kinds of the Component interface.
enum CoordType : uint32_t { kScreen = 0, kWindow = 1, kParent = 2 };

using Extents4 = sdbus::Struct<int32_t, int32_t, int32_t, int32_t>;

TextSegments::Unit BoundaryUnit(uint32_t boundary) {
    // 0 char, 1-2 word start/end, 3-4 sentence start/end, 5-6 line start/end.
    switch (boundary) {
        case 1:
        case 2:
            return TextSegments::Unit::Word;
        case 3:
        case 4:
            return TextSegments::Unit::Sentence;
        case 5:
        case 6:
            return TextSegments::Unit::Line;
        default:
            return TextSegments::Unit::Character;
    }
}

TextSegments::Unit GranularityUnit(uint32_t granularity) {
    // 0 char, 1 word, 2 sentence, 3 line, 4 paragraph.
    switch (granularity) {
        case 1:
            return TextSegments::Unit::Word;
        case 2:
            return TextSegments::Unit::Sentence;
        case 3:
            return TextSegments::Unit::Line;
        case 4:
            return TextSegments::Unit::Paragraph;
        default:
            return TextSegments::Unit::Character;
    }
}

std::tuple<std::string, int32_t, int32_t> AsTuple(const TextSegment& segment) {
    return {segment.text, segment.start, segment.end};
}

}  // namespace

struct AtspiServer::Exported {
    std::unique_ptr<sdbus::IObject> object;
    unsigned mask = 0;
};

AtspiServer::AtspiServer(sdbus::IConnection& connection, IAccessibleSource& source)
    : m_connection(connection),
      m_source(source),
      m_busName(connection.getUniqueName()),
      m_desktop(std::string(), sdbus::ObjectPath(kNullPath)),
      m_snapshot(std::make_shared<AccessibleSnapshot>()) {}

AtspiServer::~AtspiServer() = default;

std::string AtspiServer::PathOf(uint32_t id) {
    return id == 0 ? std::string(kRootPath) : "/org/a11y/atspi/accessible/" + std::to_string(id);
}

AtspiServer::Reference AtspiServer::RefOf(uint32_t id) const {
    return Reference(m_busName, sdbus::ObjectPath(PathOf(id)));
}

AtspiServer::Reference AtspiServer::NullRef() const {
    return Reference(std::string(), sdbus::ObjectPath(kNullPath));
}

AccessibleNode AtspiServer::NodeOf(uint32_t id) {
    // Answer from the newest tree; the exported objects follow when the loop applies it.
    const SnapshotPtr fresh = m_source.Fresh();
    if (fresh != nullptr) {
        if (const AccessibleNode* node = fresh->Find(id); node != nullptr) {
            return *node;
        }
    }
    if (const AccessibleNode* node = m_snapshot->Find(id); node != nullptr) {
        return *node;
    }
    throw sdbus::Error("org.freedesktop.DBus.Error.UnknownObject", "The widget is gone");
}

void AtspiServer::Embed() {
    WatchListeners();
    // Clients ask the cache first; an empty one makes them ask each object, which always
    // answers from the newest snapshot.
    m_cache = sdbus::createObject(m_connection, "/org/a11y/atspi/cache");
    using CacheItem =
        sdbus::Struct<Reference, Reference, Reference, int32_t, int32_t, std::vector<std::string>,
                      std::string, uint32_t, std::string, std::vector<uint32_t>>;
    m_cache->registerMethod("GetItems").onInterface("org.a11y.atspi.Cache").implementedAs([] {
        return std::vector<CacheItem>{};
    });
    m_cache->finishRegistration();
    auto registry = sdbus::createProxy(m_connection, "org.a11y.atspi.Registry", kRootPath);
    registry->callMethodAsync("Embed")
        .onInterface("org.a11y.atspi.Socket")
        .withArguments(RefOf(0))
        .uponReplyInvoke([this](const sdbus::Error* error, const Reference& desktop) {
            if (error != nullptr) {
                _Log(LOG_WARNING, "a11y", __LINE__, "The registry refused the program: %s",
                     error->getMessage().c_str());
                return;
            }
            m_desktop = desktop;
        });
    // The proxy may go: the pending call keeps its own reference until the answer.
    m_registry = std::move(registry);
}

unsigned AtspiServer::InterfaceMask(const AccessibleNode& node) {
    return (node.actions.empty() ? 0u : kBitAction) | (node.hasText ? kBitText : 0u) |
           (node.hasValue ? kBitValue : 0u);
}

std::size_t AtspiServer::Apply(const SnapshotPtr& snapshot) {
    const SnapshotPtr before = m_snapshot;
    m_snapshot = snapshot;
    for (const auto& [id, node] : snapshot->nodes) {
        const auto it = m_objects.find(id);
        if (it == m_objects.end() || it->second->mask != InterfaceMask(node)) {
            m_objects.erase(id);
            Export(node);
        }
    }
    const std::vector<AccessibleEvent> events = DiffSnapshots(*before, *snapshot);
    for (const AccessibleEvent& event : events) {
        Emit(event);
    }
    for (auto it = m_objects.begin(); it != m_objects.end();) {
        it = snapshot->Find(it->first) == nullptr ? m_objects.erase(it) : std::next(it);
    }
    return events.size();
}

void AtspiServer::WatchListeners() {
    // The registry knows who listens to which events; while nobody does, the bridge need not
    // look for changes at all.
    using Listener = sdbus::Struct<std::string, std::string>;
    m_registryEvents =
        sdbus::createProxy(m_connection, "org.a11y.atspi.Registry", "/org/a11y/atspi/registry");
    m_registryEvents->uponSignal("EventListenerRegistered")
        .onInterface("org.a11y.atspi.Registry")
        .call([this](const std::string& client, const std::string& event) {
            m_listeners.emplace(client, event);
        });
    m_registryEvents->uponSignal("EventListenerDeregistered")
        .onInterface("org.a11y.atspi.Registry")
        .call([this](const std::string& client, const std::string& event) {
            m_listeners.erase({client, event});
        });
    m_registryEvents->finishRegistration();
    m_registryEvents->callMethodAsync("GetRegisteredEvents")
        .onInterface("org.a11y.atspi.Registry")
        .uponReplyInvoke([this](const sdbus::Error* error, const std::vector<Listener>& listeners) {
            if (error != nullptr) {
                return;
            }
            for (const Listener& listener : listeners) {
                m_listeners.emplace(std::get<0>(listener), std::get<1>(listener));
            }
        });
}

void AtspiServer::Export(const AccessibleNode& node) {
    auto exported = std::make_unique<Exported>();
    exported->mask = InterfaceMask(node);
    exported->object = sdbus::createObject(m_connection, PathOf(node.id));
    sdbus::IObject& object = *exported->object;
    RegisterAccessible(object, node.id);
    if (node.id == 0) {
        RegisterApplication(object);
    } else {
        RegisterComponent(object, node.id);
    }
    if ((exported->mask & kBitAction) != 0) {
        RegisterAction(object, node.id);
    }
    if ((exported->mask & kBitText) != 0) {
        RegisterText(object, node.id);
    }
    if ((exported->mask & kBitValue) != 0) {
        RegisterValue(object, node.id);
    }
    object.finishRegistration();
    m_objects[node.id] = std::move(exported);
}

void AtspiServer::RegisterAccessible(sdbus::IObject& object, uint32_t id) {
    object.registerProperty("Name").onInterface(kAccessible).withGetter([this, id] {
        return NodeOf(id).name;
    });
    object.registerProperty("Description").onInterface(kAccessible).withGetter([this, id] {
        return NodeOf(id).description;
    });
    object.registerProperty("Parent").onInterface(kAccessible).withGetter([this, id] {
        return id == 0 ? m_desktop : RefOf(NodeOf(id).parent);
    });
    object.registerProperty("ChildCount").onInterface(kAccessible).withGetter([this, id] {
        return static_cast<int32_t>(NodeOf(id).children.size());
    });
    object.registerProperty("Locale").onInterface(kAccessible).withGetter([this] {
        return m_source.Fresh()->locale;
    });
    object.registerProperty("AccessibleId").onInterface(kAccessible).withGetter([this, id] {
        return NodeOf(id).accessibleId;
    });
    object.registerMethod("GetChildAtIndex")
        .onInterface(kAccessible)
        .implementedAs([this, id](int32_t index) {
            const AccessibleNode node = NodeOf(id);
            if (index < 0 || index >= static_cast<int32_t>(node.children.size())) {
                return NullRef();
            }
            return RefOf(node.children[static_cast<std::size_t>(index)]);
        });
    object.registerMethod("GetChildren").onInterface(kAccessible).implementedAs([this, id] {
        std::vector<Reference> children;
        for (const uint32_t child : NodeOf(id).children) {
            children.push_back(RefOf(child));
        }
        return children;
    });
    object.registerMethod("GetIndexInParent").onInterface(kAccessible).implementedAs([this, id] {
        if (id == 0) {
            return int32_t{-1};
        }
        const AccessibleNode parent = NodeOf(NodeOf(id).parent);
        const auto it = std::find(parent.children.begin(), parent.children.end(), id);
        return it == parent.children.end() ? int32_t{-1}
                                           : static_cast<int32_t>(it - parent.children.begin());
    });
    object.registerMethod("GetRelationSet").onInterface(kAccessible).implementedAs([] {
        return std::vector<sdbus::Struct<uint32_t, std::vector<Reference>>>{};
    });
    object.registerMethod("GetRole").onInterface(kAccessible).implementedAs([this, id] {
        return NodeOf(id).role;
    });
    object.registerMethod("GetRoleName").onInterface(kAccessible).implementedAs([this, id] {
        return std::string(RoleName(NodeOf(id).role));
    });
    object.registerMethod("GetLocalizedRoleName")
        .onInterface(kAccessible)
        .implementedAs([this, id] { return std::string(RoleName(NodeOf(id).role)); });
    object.registerMethod("GetState").onInterface(kAccessible).implementedAs([this, id] {
        const uint64_t states = NodeOf(id).states;
        return std::vector<uint32_t>{static_cast<uint32_t>(states & 0xFFFFFFFFu),
                                     static_cast<uint32_t>(states >> 32)};
    });
    object.registerMethod("GetAttributes").onInterface(kAccessible).implementedAs([this, id] {
        const AccessibleNode node = NodeOf(id);
        return std::map<std::string, std::string>{
            {"toolkit", "Auralis"}, {"class", node.className}, {"id", node.accessibleId}};
    });
    object.registerMethod("GetApplication").onInterface(kAccessible).implementedAs([this] {
        return RefOf(0);
    });
    object.registerMethod("GetInterfaces").onInterface(kAccessible).implementedAs([this, id] {
        const AccessibleNode node = NodeOf(id);
        std::vector<std::string> names{kAccessible};
        names.emplace_back(id == 0 ? kApplication : kComponent);
        if (!node.actions.empty()) {
            names.emplace_back(kAction);
        }
        if (node.hasText) {
            names.emplace_back(kText);
        }
        if (node.hasValue) {
            names.emplace_back(kValue);
        }
        return names;
    });
}

void AtspiServer::RegisterComponent(sdbus::IObject& object, uint32_t id) {
    // Extents in the asked coordinates: screen, window, or the parent's.
    auto extentsIn = [this, id](uint32_t coordType) {
        const AccessibleNode node = NodeOf(id);
        if (coordType == kScreen) {
            return node.onScreen;
        }
        Extents extents = node.inWindow;
        if (coordType == kParent && node.parent != node.window && node.parent != 0) {
            const Extents parent = NodeOf(node.parent).inWindow;
            extents.x -= parent.x;
            extents.y -= parent.y;
        }
        return extents;
    };
    object.registerMethod("GetExtents")
        .onInterface(kComponent)
        .implementedAs([extentsIn](uint32_t coordType) {
            const Extents e = extentsIn(coordType);
            return Extents4(e.x, e.y, e.width, e.height);
        });
    object.registerMethod("GetPosition")
        .onInterface(kComponent)
        .implementedAs([extentsIn](uint32_t coordType) {
            const Extents e = extentsIn(coordType);
            return std::tuple<int32_t, int32_t>(e.x, e.y);
        });
    object.registerMethod("GetSize").onInterface(kComponent).implementedAs([extentsIn] {
        const Extents e = extentsIn(kWindow);
        return std::tuple<int32_t, int32_t>(e.width, e.height);
    });
    object.registerMethod("Contains")
        .onInterface(kComponent)
        .implementedAs([extentsIn](int32_t x, int32_t y, uint32_t coordType) {
            return extentsIn(coordType).Contains(x, y);
        });
    object.registerMethod("GetAccessibleAtPoint")
        .onInterface(kComponent)
        .implementedAs([this, id, extentsIn](int32_t x, int32_t y, uint32_t coordType) {
            // The deepest descendant under the point; the topmost child wins (painted last).
            const SnapshotPtr tree = m_source.Fresh();
            const AccessibleNode* node = tree->Find(id);
            if (node == nullptr || !extentsIn(coordType).Contains(x, y)) {
                return NullRef();
            }
            const Extents own = extentsIn(coordType);
            const int dx = x - own.x + node->inWindow.x;
            const int dy = y - own.y + node->inWindow.y;
            uint32_t found = 0;
            for (bool descended = true; descended;) {
                descended = false;
                for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
                    const AccessibleNode* child = tree->Find(*it);
                    if (child != nullptr && child->inWindow.Contains(dx, dy)) {
                        node = child;
                        found = child->id;
                        descended = true;
                        break;
                    }
                }
            }
            return found == 0 ? NullRef() : RefOf(found);
        });
    object.registerMethod("GetLayer").onInterface(kComponent).implementedAs([this, id] {
        return NodeOf(id).parent == 0 ? uint32_t{7} : uint32_t{3};  // window : widget
    });
    object.registerMethod("GetMDIZOrder").onInterface(kComponent).implementedAs([] {
        return int16_t{0};
    });
    object.registerMethod("GetAlpha").onInterface(kComponent).implementedAs([] { return 1.0; });
    object.registerMethod("GrabFocus").onInterface(kComponent).implementedAs([this, id] {
        return m_source.RequestFocus(id);
    });
}

void AtspiServer::RegisterAction(sdbus::IObject& object, uint32_t id) {
    auto actionName = [this, id](int32_t index) {
        const AccessibleNode node = NodeOf(id);
        return index >= 0 && index < static_cast<int32_t>(node.actions.size())
                   ? node.actions[static_cast<std::size_t>(index)]
                   : std::string();
    };
    object.registerProperty("NActions").onInterface(kAction).withGetter([this, id] {
        return static_cast<int32_t>(NodeOf(id).actions.size());
    });
    object.registerMethod("GetName").onInterface(kAction).implementedAs(actionName);
    object.registerMethod("GetLocalizedName").onInterface(kAction).implementedAs(actionName);
    object.registerMethod("GetDescription").onInterface(kAction).implementedAs([](int32_t) {
        return std::string();
    });
    object.registerMethod("GetKeyBinding").onInterface(kAction).implementedAs([](int32_t) {
        return std::string();
    });
    object.registerMethod("GetActions").onInterface(kAction).implementedAs([this, id] {
        std::vector<sdbus::Struct<std::string, std::string, std::string>> actions;
        for (const std::string& name : NodeOf(id).actions) {
            actions.emplace_back(name, std::string(), std::string());
        }
        return actions;
    });
    object.registerMethod("DoAction").onInterface(kAction).implementedAs([this, id](int32_t index) {
        return m_source.RequestAction(id, index);
    });
}

void AtspiServer::RegisterText(sdbus::IObject& object, uint32_t id) {
    auto segments = [this, id] { return TextSegments(NodeOf(id).text); };
    object.registerProperty("CharacterCount").onInterface(kText).withGetter([segments] {
        return static_cast<int32_t>(segments().CharacterCount());
    });
    object.registerProperty("CaretOffset").onInterface(kText).withGetter([] { return int32_t{0}; });
    object.registerMethod("GetText").onInterface(kText).implementedAs(
        [segments](int32_t start, int32_t end) { return segments().Slice(start, end); });
    object.registerMethod("GetCharacterAtOffset")
        .onInterface(kText)
        .implementedAs([segments](int32_t offset) {
            return static_cast<int32_t>(segments().CharacterAt(offset));
        });
    object.registerMethod("GetStringAtOffset")
        .onInterface(kText)
        .implementedAs([segments](int32_t offset, uint32_t granularity) {
            return AsTuple(segments().At(offset, GranularityUnit(granularity)));
        });
    object.registerMethod("GetTextAtOffset")
        .onInterface(kText)
        .implementedAs([segments](int32_t offset, uint32_t boundary) {
            return AsTuple(segments().At(offset, BoundaryUnit(boundary)));
        });
    object.registerMethod("GetTextBeforeOffset")
        .onInterface(kText)
        .implementedAs([segments](int32_t offset, uint32_t boundary) {
            return AsTuple(segments().Before(offset, BoundaryUnit(boundary)));
        });
    object.registerMethod("GetTextAfterOffset")
        .onInterface(kText)
        .implementedAs([segments](int32_t offset, uint32_t boundary) {
            return AsTuple(segments().After(offset, BoundaryUnit(boundary)));
        });
    object.registerMethod("SetCaretOffset").onInterface(kText).implementedAs([](int32_t) {
        return false;
    });
    object.registerMethod("GetNSelections").onInterface(kText).implementedAs([] {
        return int32_t{0};
    });
    object.registerMethod("GetSelection").onInterface(kText).implementedAs([](int32_t) {
        return std::tuple<int32_t, int32_t>(0, 0);
    });
    object.registerMethod("GetAttributeRun")
        .onInterface(kText)
        .implementedAs([segments](int32_t, bool) {
            return std::tuple<std::map<std::string, std::string>, int32_t, int32_t>(
                {}, 0, segments().CharacterCount());
        });
    object.registerMethod("GetAttributes").onInterface(kText).implementedAs([segments](int32_t) {
        return std::tuple<std::map<std::string, std::string>, int32_t, int32_t>(
            {}, 0, segments().CharacterCount());
    });
    object.registerMethod("GetDefaultAttributes").onInterface(kText).implementedAs([] {
        return std::map<std::string, std::string>{};
    });
    object.registerMethod("GetDefaultAttributeSet").onInterface(kText).implementedAs([] {
        return std::map<std::string, std::string>{};
    });
}

void AtspiServer::RegisterValue(sdbus::IObject& object, uint32_t id) {
    object.registerProperty("MinimumValue").onInterface(kValue).withGetter([this, id] {
        return NodeOf(id).value.minimum;
    });
    object.registerProperty("MaximumValue").onInterface(kValue).withGetter([this, id] {
        return NodeOf(id).value.maximum;
    });
    object.registerProperty("MinimumIncrement").onInterface(kValue).withGetter([] { return 1.0; });
    object.registerProperty("CurrentValue")
        .onInterface(kValue)
        .withGetter([this, id] { return NodeOf(id).value.current; })
        .withSetter([](const double&) {});  // read-only for the user: levels are reported
    object.registerProperty("Text").onInterface(kValue).withGetter(
        [this, id] { return NodeOf(id).valueText; });
}

void AtspiServer::RegisterApplication(sdbus::IObject& object) {
    object.registerProperty("ToolkitName").onInterface(kApplication).withGetter([] {
        return std::string("Auralis");
    });
    object.registerProperty("Version").onInterface(kApplication).withGetter([] {
        return std::string("1.0");
    });
    object.registerProperty("AtspiVersion").onInterface(kApplication).withGetter([] {
        return std::string("2.1");
    });
    object.registerProperty("Id")
        .onInterface(kApplication)
        .withGetter([this] { return m_applicationId; })
        .withSetter([this](const int32_t& value) { m_applicationId = value; });
    object.registerMethod("GetLocale").onInterface(kApplication).implementedAs([this](uint32_t) {
        return m_source.Fresh()->locale;
    });
}

void AtspiServer::Emit(const AccessibleEvent& event) {
    const auto it = m_objects.find(event.source);
    if (it == m_objects.end()) {
        return;
    }
    sdbus::Variant data;
    switch (event.data) {
        case AccessibleEvent::Data::Text:
            data = sdbus::Variant(event.text);
            break;
        case AccessibleEvent::Data::Number:
            data = sdbus::Variant(event.number);
            break;
        case AccessibleEvent::Data::Child:
            data = sdbus::Variant(RefOf(event.child));
            break;
        case AccessibleEvent::Data::None:
            data = sdbus::Variant(int32_t{0});
            break;
    }
    try {
        auto signal =
            it->second->object->createSignal("org.a11y.atspi.Event." + event.kind, event.member);
        signal << event.detail << event.detail1 << event.detail2 << data
               << std::map<std::string, sdbus::Variant>{};
        signal.send();
    } catch (const sdbus::Error& error) {
        _Log(LOG_WARNING, "a11y", __LINE__, "An event could not be sent: %s",
             error.getMessage().c_str());
    }
}

}  // namespace a11y
