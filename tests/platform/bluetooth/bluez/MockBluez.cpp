#include "tests/platform/bluetooth/bluez/MockBluez.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/common/Eventually.h"

namespace bluez_test {
namespace {

// Python and the bus start slowly on a busy machine (sanitizer builds run beside us).
constexpr std::chrono::seconds kStartBound{20};

// A helper program's start: found on $PATH, no input, its output appended to logFile.
testing_support::ChildOptions logTo(const std::filesystem::path& logFile) {
    return {.output = logFile, .appendOutput = true, .inputFromNull = true, .searchPath = true};
}

std::filesystem::path newFolder() {
    return testing_support::makeTempFolder("bluez");
}

bool canConnect(const std::filesystem::path& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketPath.string();
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

}  // namespace

MockBluez::MockBluez()
    : m_folder(newFolder()),
      m_busAddress("unix:path=" + (m_folder / "bus").string()),
      m_env("DBUS_SYSTEM_BUS_ADDRESS", m_busAddress) {}

MockBluez::~MockBluez() {
    stopBluez();
    stopBus();
}

bool MockBluez::startBus() {
    std::filesystem::remove(m_folder / "bus");
    if (!m_bus.start(
            {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + m_busAddress},
            logTo(m_folder / "dbus-daemon.log"))) {
        return false;
    }
    return testing_support::eventually([this] { return canConnect(m_folder / "bus"); },
                                       kStartBound);
}

bool MockBluez::startBusDenyingBluez() {
    std::filesystem::remove(m_folder / "bus");
    const std::filesystem::path config = m_folder / "denying-bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                             "Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type><listen>"
                          << m_busAddress
                          << "</listen><auth>EXTERNAL</auth>"
                             "<policy context=\"default\"><allow send_destination=\"*\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                             "<policy context=\"mandatory\"><deny send_destination=\"org.bluez\" "
                             "send_interface=\"org.freedesktop.DBus.ObjectManager\"/></policy>"
                             "</busconfig>\n";
    if (!m_bus.start({"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--nopidfile"},
                     logTo(m_folder / "dbus-daemon.log"))) {
        return false;
    }
    return testing_support::eventually([this] { return canConnect(m_folder / "bus"); },
                                       kStartBound);
}

void MockBluez::stopBus() {
    m_bus.stop();
}

bool MockBluez::startBluez() {
    if (!m_bluez.start({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                        AURALIS_BLUEZ_TEMPLATE},
                       logTo(m_folder / "bluez-mock.log"))) {
        return false;
    }
    const bool owned = testing_support::eventually(
        [this] {
            const ProgramRun run =
                runProgram({"dbus-send", "--bus=" + m_busAddress, "--print-reply",
                            "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus.NameHasOwner", "string:org.bluez"},
                           {.searchPath = true});
            return run.exitCode == 0 && run.out.find("boolean true") != std::string::npos;
        },
        kStartBound);
    if (owned) {
        setTimeScale(kTimeScale);
    }
    return owned;
}

void MockBluez::setTimeScale(double scale) {
    control("SetTimeScale", {"double:" + std::to_string(scale)});
}

void MockBluez::stopBluez() {
    m_bluez.stop();
}

std::string MockBluez::call(const std::string& path, const std::string& interfaceAndMethod,
                            const std::vector<std::string>& args, bool* ok) {
    std::vector<std::string> argv = {
        "dbus-send", "--bus=" + m_busAddress, "--print-reply", "--dest=org.bluez",
        path,        interfaceAndMethod};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProgramRun run = runProgram(argv, {.searchPath = true});
    if (ok != nullptr) {
        *ok = run.exitCode == 0;
    }
    return run.out;
}

std::string MockBluez::control(const std::string& method, const std::vector<std::string>& args) {
    bool ok = false;
    std::string out = call("/", "org.bluez.Mock." + method, args, &ok);
    EXPECT_TRUE(ok) << method << ": " << out;
    return out;
}

std::string MockBluez::addAdapter(const std::string& name) {
    control("AddAdapter", {"string:" + name, "string:auralis-test"});
    return "/org/bluez/" + name;
}

std::string MockBluez::addDevice(const std::string& address, const std::string& name,
                                 const std::string& adapter) {
    const std::vector<std::string> result =
        strings(control("AddDevice", {"string:" + adapter, "string:" + address, "string:" + name}));
    return result.empty() ? std::string() : result.front();
}

void MockBluez::setPowered(bool powered, const std::string& adapter) {
    bool ok = false;
    const std::string out = call("/org/bluez/" + adapter, "org.freedesktop.DBus.Properties.Set",
                                 {"string:org.bluez.Adapter1", "string:Powered",
                                  std::string("variant:boolean:") + (powered ? "true" : "false")},
                                 &ok);
    EXPECT_TRUE(ok) << out;
}

std::string MockBluez::property(const std::string& path, const std::string& interface,
                                const std::string& name) {
    bool ok = false;
    const std::string out = call(path, "org.freedesktop.DBus.Properties.Get",
                                 {"string:" + interface, "string:" + name}, &ok);
    EXPECT_TRUE(ok) << out;
    const std::size_t variant = out.find("variant");
    if (variant == std::string::npos) {
        return {};
    }
    std::string value = out.substr(variant + 7);
    const std::size_t first = value.find_first_not_of(" \n");
    const std::size_t last = value.find_last_not_of(" \n");
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

std::vector<std::string> MockBluez::strings(const std::string& printout) {
    std::vector<std::string> found;
    std::size_t at = 0;
    while ((at = printout.find("string \"", at)) != std::string::npos) {
        at += 8;
        const std::size_t end = printout.find('"', at);
        if (end == std::string::npos) {
            break;
        }
        found.push_back(printout.substr(at, end - at));
        at = end + 1;
    }
    return found;
}

std::string MockBluez::log() const {
    std::ifstream in(m_folder / "bluez-mock.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace bluez_test
