#include "tests/a11y/AccessibilitySession.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include "tests/common/Eventually.h"
#include "tests/common/VirtualDisplay.h"

namespace a11y_test {

namespace fs = std::filesystem;

bool AccessibilitySession::start(const fs::path& folder) {
    const auto daemon = testing_support::findOnPath("dbus-daemon");
    if (!daemon) {
        return false;
    }
    // The accessibility bus's launcher puts its socket in the runtime folder it inherits from
    // the session bus, always under the same name: each session gets a runtime folder of its own.
    const fs::path runtime = folder / "a11y-runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path printed = folder / "session-bus.address";
    m_daemon.start(
        {daemon->string(), "--session", "--nofork", "--nopidfile",
         "--address=unix:path=" + (folder / "session-bus").string(), "--print-address=1"},
        {.extraEnvironment = {"XDG_RUNTIME_DIR=" + runtime.string()},
         .removedEnvironment = {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                "AT_SPI_BUS_ADDRESS"},
         .output = printed,
         .inputFromNull = true});
    if (!m_daemon.running()) {
        return false;
    }
    return testing_support::eventually(
        [&] {
            std::ifstream in(printed);
            std::stringstream text;
            text << in.rdbuf();
            const std::string all = text.str();
            const std::size_t end = all.find('\n');
            if (end == std::string::npos || all.rfind("unix:", 0) != 0) {
                return false;  // not yet listening, or not all of the line written
            }
            m_address = all.substr(0, end);
            return true;
        },
        std::chrono::seconds(10));
}

}  // namespace a11y_test
