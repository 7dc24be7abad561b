#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace sdbus {
class IConnection;
}

namespace a11y_test {

// What a test looks for on the accessibility bus: any field left empty matches everything.
struct AccessibleQuery {
    std::string role;    // the AT-SPI role name, e.g. "push button", "list item"
    std::string name;    // the accessible name, as a screen reader speaks it
    std::string id;      // the AccessibleId: the widget's own name, the same in every language
    std::string window;  // the name (title) of the window that holds it
};

// The desktop's accessibility tree as a screen reader or automation tool sees it, read over
// D-Bus from a test: finds a program's widget by role and name or AccessibleId and performs
// its action, as a user of assistive technology would press it. Connects to the accessibility
// bus of the session at sessionAddress (asking the session starts it, if need be).
class AccessibleDesktop {
public:
    explicit AccessibleDesktop(std::string sessionAddress);
    ~AccessibleDesktop();
    AccessibleDesktop(const AccessibleDesktop&) = delete;
    AccessibleDesktop& operator=(const AccessibleDesktop&) = delete;

    // Waits (at most limit) until the application (by its accessible name, e.g.
    // "AuralisManager") shows a widget that matches and that can be used (sensitive: a window
    // under a modal dialog cannot), and performs its first action. False when none came or the
    // program refused; Problem() says which.
    bool Press(const std::string& application, const AccessibleQuery& query,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Whether a matching widget is (or comes) on the bus within limit.
    bool Shows(const std::string& application, const AccessibleQuery& query,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Whether no matching widget is (or, within limit, remains) on the bus.
    bool Lacks(const std::string& application, const AccessibleQuery& query,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Why the last call failed, for the test's message.
    const std::string& Problem() const { return m_problem; }

private:
    struct Found;

    bool Connect();
    std::optional<Found> Find(const std::string& application, const AccessibleQuery& query);
    std::optional<Found> WaitFor(const std::string& application, const AccessibleQuery& query,
                                 std::chrono::milliseconds limit, bool usable);

    std::string m_sessionAddress;
    std::unique_ptr<sdbus::IConnection> m_bus;
    std::string m_problem;
};

}  // namespace a11y_test
