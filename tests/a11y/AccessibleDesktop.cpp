#include "tests/a11y/AccessibleDesktop.h"

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

namespace a11y_test {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using WireReference = sdbus::Struct<std::string, sdbus::ObjectPath>;

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kRegistry = "org.a11y.atspi.Registry";
constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
// AT-SPI's state number of "sensitive" (usable now).
constexpr unsigned kSensitive = 24;
// Each question is bounded: a program that stopped answering fails the test, not hangs it.
constexpr auto kCallLimit = 5s;
constexpr auto kPollStep = 50ms;

}  // namespace

// A widget found: its bus name and object path, and whether it can be used now.
struct AccessibleDesktop::Found {
    std::string bus;
    std::string path;
    bool sensitive = false;
};

namespace {

// An accessible object: the bus name of its program and its object path.
using Reference = std::pair<std::string, std::string>;

std::unique_ptr<sdbus::IProxy> ProxyOf(sdbus::IConnection& bus, const Reference& ref) {
    return sdbus::createProxy(bus, ref.first, ref.second);
}

std::vector<Reference> ChildrenOf(sdbus::IConnection& bus, const Reference& ref) {
    std::vector<WireReference> wire;
    ProxyOf(bus, ref)
        ->callMethod("GetChildren")
        .onInterface(kAccessible)
        .withTimeout(kCallLimit)
        .storeResultsTo(wire);
    std::vector<Reference> children;
    for (const WireReference& child : wire) {
        children.emplace_back(child.get<0>(), std::string(child.get<1>()));
    }
    return children;
}

std::string StringProperty(sdbus::IConnection& bus, const Reference& ref, const std::string& name) {
    sdbus::Variant value;
    ProxyOf(bus, ref)
        ->callMethod("Get")
        .onInterface("org.freedesktop.DBus.Properties")
        .withTimeout(kCallLimit)
        .withArguments(std::string(kAccessible), name)
        .storeResultsTo(value);
    return value.get<std::string>();
}

std::string RoleNameOf(sdbus::IConnection& bus, const Reference& ref) {
    std::string role;
    ProxyOf(bus, ref)
        ->callMethod("GetRoleName")
        .onInterface(kAccessible)
        .withTimeout(kCallLimit)
        .storeResultsTo(role);
    return role;
}

bool IsSensitive(sdbus::IConnection& bus, const Reference& ref) {
    std::vector<uint32_t> states;
    ProxyOf(bus, ref)
        ->callMethod("GetState")
        .onInterface(kAccessible)
        .withTimeout(kCallLimit)
        .storeResultsTo(states);
    return states.size() > kSensitive / 32 && ((states[kSensitive / 32] >> (kSensitive % 32)) & 1u);
}

bool Matches(sdbus::IConnection& bus, const Reference& ref, const AccessibleQuery& query) {
    // The cheapest question first: most widgets differ in role already.
    return (query.role.empty() || RoleNameOf(bus, ref) == query.role) &&
           (query.name.empty() || StringProperty(bus, ref, "Name") == query.name) &&
           (query.id.empty() || StringProperty(bus, ref, "AccessibleId") == query.id);
}

// Depth first, the first match under ref (ref itself included).
std::optional<Reference> Search(sdbus::IConnection& bus, const Reference& ref,
                                const AccessibleQuery& query) {
    if (Matches(bus, ref, query)) {
        return ref;
    }
    for (const Reference& child : ChildrenOf(bus, ref)) {
        if (std::optional<Reference> found = Search(bus, child, query)) {
            return found;
        }
    }
    return std::nullopt;
}

std::string Describe(const AccessibleQuery& query) {
    std::string text = "a " + (query.role.empty() ? std::string("widget") : query.role);
    if (!query.name.empty()) {
        text += " named \"" + query.name + "\"";
    }
    if (!query.id.empty()) {
        text += " [" + query.id + "]";
    }
    if (!query.window.empty()) {
        text += " in \"" + query.window + "\"";
    }
    return text;
}

}  // namespace

AccessibleDesktop::AccessibleDesktop(std::string sessionAddress)
    : m_sessionAddress(std::move(sessionAddress)) {}

AccessibleDesktop::~AccessibleDesktop() = default;

bool AccessibleDesktop::Connect() {
    if (m_bus != nullptr) {
        return true;
    }
    try {
        auto session = sdbus::createSessionBusConnectionWithAddress(m_sessionAddress);
        std::string address;
        sdbus::createProxy(*session, "org.a11y.Bus", "/org/a11y/bus")
            ->callMethod("GetAddress")
            .onInterface("org.a11y.Bus")
            .withTimeout(kCallLimit)
            .storeResultsTo(address);
        m_bus = sdbus::createSessionBusConnectionWithAddress(address);
        return true;
    } catch (const sdbus::Error& error) {
        m_problem = "no accessibility bus: " + error.getMessage();
        return false;
    }
}

std::optional<AccessibleDesktop::Found> AccessibleDesktop::Find(const std::string& application,
                                                                const AccessibleQuery& query) {
    if (!Connect()) {
        return std::nullopt;
    }
    sdbus::IConnection& bus = *m_bus;
    try {
        // A program that just ended may still be listed beside its successor of the same name.
        bool listed = false;
        for (const Reference& app : ChildrenOf(bus, {kRegistry, kRootPath})) {
            if (StringProperty(bus, app, "Name") != application) {
                continue;
            }
            listed = true;
            for (const Reference& window : ChildrenOf(bus, app)) {
                if (!query.window.empty() && StringProperty(bus, window, "Name") != query.window) {
                    continue;
                }
                if (std::optional<Reference> found = Search(bus, window, query)) {
                    return Found{found->first, found->second, IsSensitive(bus, *found)};
                }
            }
        }
        m_problem = listed ? "no " + Describe(query) + " in " + application
                           : application + " is not on the accessibility bus";
    } catch (const sdbus::Error& error) {
        // A widget that went while the tree was read: the next look sees the new tree.
        m_problem = "reading the tree failed: " + error.getMessage();
    }
    return std::nullopt;
}

std::optional<AccessibleDesktop::Found> AccessibleDesktop::WaitFor(const std::string& application,
                                                                   const AccessibleQuery& query,
                                                                   std::chrono::milliseconds limit,
                                                                   bool usable) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        std::optional<Found> found = Find(application, query);
        if (found && (found->sensitive || !usable)) {
            return found;
        }
        if (found) {
            m_problem = Describe(query) + " is there but cannot be used";
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(kPollStep);
    }
}

bool AccessibleDesktop::Press(const std::string& application, const AccessibleQuery& query,
                              std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const std::optional<Found> found =
            WaitFor(application, query, std::max(left, std::chrono::milliseconds(0)), true);
        if (!found) {
            return false;
        }
        try {
            bool done = false;
            sdbus::createProxy(*m_bus, found->bus, found->path)
                ->callMethod("DoAction")
                .onInterface("org.a11y.atspi.Action")
                .withTimeout(kCallLimit)
                .withArguments(int32_t{0})
                .storeResultsTo(done);
            if (done) {
                return true;
            }
            // Refused: it stopped being usable since it was read (a dialog came over it).
            m_problem = Describe(query) + " refused its action";
        } catch (const sdbus::Error& error) {
            m_problem = "pressing " + Describe(query) + " failed: " + error.getMessage();
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
}

bool AccessibleDesktop::Shows(const std::string& application, const AccessibleQuery& query,
                              std::chrono::milliseconds limit) {
    return WaitFor(application, query, limit, false).has_value();
}

bool AccessibleDesktop::Lacks(const std::string& application, const AccessibleQuery& query,
                              std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Find(application, query)) {
        if (Clock::now() >= deadline) {
            m_problem = Describe(query) + " is still there";
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

}  // namespace a11y_test
