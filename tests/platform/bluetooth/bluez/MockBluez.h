#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/common/ChildProcess.h"
#include "tests/common/TestSandbox.h"

namespace bluez_test {

using testing_support::ChildProcess;
using testing_support::ProgramRun;
using testing_support::runProgram;

// A private "system" bus (its own dbus-daemon) with a mock BlueZ on it: python-dbusmock's
// bluez5 template extended by auralis_bluez_template.py. DBUS_SYSTEM_BUS_ADDRESS points at the
// private bus for the lifetime of this object, so backends and programs started meanwhile use it.
class MockBluez {
public:
    // Only sets the bus address; start the pieces with startBus() and startBluez().
    MockBluez();
    ~MockBluez();

    const std::string& busAddress() const { return m_busAddress; }
    const std::filesystem::path& folder() const { return m_folder; }

    bool startBus();
    // A bus whose policy refuses every caller's calls to BlueZ's object manager, as a system
    // bus refuses users its BlueZ policy leaves out (the mock itself still starts).
    bool startBusDenyingBluez();
    void stopBus();
    // Real seconds per second of the mock BlueZ: its 10.24 s inquiries, name requests and 30 s
    // temporary-device time run this much faster than real time (startBluez sets it).
    static constexpr double kTimeScale = 0.02;

    // Starts the mock and waits until it owns org.bluez; its clock runs at kTimeScale.
    bool startBluez();
    void setTimeScale(double scale);
    void stopBluez();

    // Calls a method of the mock's control interface (org.bluez.Mock on "/"); args in
    // dbus-send notation ("string:hci0", "boolean:true"). Returns dbus-send's printout and adds
    // a test failure when the call failed.
    std::string control(const std::string& method, const std::vector<std::string>& args);
    // Any call to org.bluez; the exit code of dbus-send is in ok.
    std::string call(const std::string& path, const std::string& interfaceAndMethod,
                     const std::vector<std::string>& args, bool* ok = nullptr);

    // Conveniences over control().
    std::string addAdapter(const std::string& name = "hci0");
    std::string addDevice(const std::string& address, const std::string& name,
                          const std::string& adapter = "hci0");
    void setPowered(bool powered, const std::string& adapter = "hci0");
    // A Device1 or Adapter1 property as dbus-send prints it ("boolean true", ...).
    std::string property(const std::string& path, const std::string& interface,
                         const std::string& name);
    // The quoted strings of a dbus-send printout, in order.
    static std::vector<std::string> strings(const std::string& printout);

    // The mock's own log (every call it received), for failure messages.
    std::string log() const;

private:
    std::filesystem::path m_folder;
    std::string m_busAddress;
    testing_support::ScopedEnv m_env;
    ChildProcess m_bus;
    ChildProcess m_bluez;
};

}  // namespace bluez_test
