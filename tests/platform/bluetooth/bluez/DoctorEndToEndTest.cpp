// auralis-ctl doctor against a mock BlueZ on a private bus and a made-up kernel tree
// (AURALIS_SYSTEM_ROOT): each situation a user may meet gives its failure or warning and fix,
// and a computer where everything is in place passes.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/platform/bluetooth/bluez/MockBluez.h"

namespace {

namespace fs = std::filesystem;
using ctl_test::runCtl;
using nlohmann::json;
using testing_support::ScopedEnv;

const char* const kPlus = "70:5A:B6:01:4F:2A";
const char* const kFirst = "70:5A:B6:00:77:A0";
const char* const kSerialPort = "00001101-0000-1000-8000-00805f9b34fb";

// A log time a day from now, in the log's own form: later than any connect the doctor's own
// commands log during the test, so the written attempt is the newest one whatever today's date.
std::string logTimeTomorrow() {
    const std::time_t tomorrow = std::chrono::system_clock::to_time_t(
        std::chrono::system_clock::now() + std::chrono::hours(24));
    std::tm local{};
    localtime_r(&tomorrow, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

void writeFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// A made-up /sys, /proc and /usr: radio hci0 with its rfkill switch, RFCOMM in the kernel's
// protocol list, and a bluetoothd that tells its version.
class FakeSystem {
public:
    FakeSystem()
        : m_root(testing_support::makeTempFolder("sysroot")),
          m_env("AURALIS_SYSTEM_ROOT", m_root) {}

    void radio() {
        fs::create_directories(m_root / "sys/class/bluetooth/hci0");
        setSwitch(false, false);
    }
    void setSwitch(bool soft, bool hard) {
        const fs::path entry = m_root / "sys/class/rfkill/rfkill0";
        writeFile(entry / "type", "bluetooth\n");
        writeFile(entry / "name", "hci0\n");
        writeFile(entry / "soft", soft ? "1\n" : "0\n");
        writeFile(entry / "hard", hard ? "1\n" : "0\n");
    }
    void rfcommSockets() {
        writeFile(m_root / "proc/net/protocols",
                  "protocol  size sockets\nRFCOMM     848      0\nL2CAP     800      0\n");
    }
    void bluetoothd(const std::string& version) {
        const fs::path program = m_root / "usr/sbin/bluetoothd";
        writeFile(program, "#!/bin/sh\necho " + version + "\n");
        fs::permissions(program, fs::perms::owner_all);
    }
    void everything() {
        radio();
        rfcommSockets();
        bluetoothd("5.66");
    }

private:
    fs::path m_root;
    ScopedEnv m_env;
};

struct Doctor {
    int exitCode = -1;
    std::map<std::string, json> checks;  // by name ("earbuds <address>" for earbuds)
    json summary;
    std::string text;

    const json& operator[](const std::string& name) const {
        static const json missing = json::object();
        const auto found = checks.find(name);
        return found == checks.end() ? missing : found->second;
    }
};

Doctor runDoctor(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--json", "doctor"};
    args.insert(args.end(), extra.begin(), extra.end());
    const ctl_test::Run run = runCtl(args);
    Doctor doctor;
    doctor.exitCode = run.exitCode;
    doctor.text = run.out + run.err;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const json object = json::parse(line, nullptr, false);
        if (object.contains("check")) {
            std::string name = object["check"];
            if (object.contains("address")) {
                name += " " + object["address"].get<std::string>();
            }
            doctor.checks[name] = object;
        } else {
            doctor.summary = object;
        }
    }
    return doctor;
}

std::string status(const json& check) {
    return check.value("status", "missing");
}

bool fixMentions(const json& check, const std::string& words) {
    return check.value("fix", "").find(words) != std::string::npos;
}

bool seenMentions(const json& check, const std::string& words) {
    return check.value("seen", "").find(words) != std::string::npos;
}

class DoctorEndToEndTest : public ::testing::Test {
protected:
    DoctorEndToEndTest() : m_display("DISPLAY", ""), m_wayland("WAYLAND_DISPLAY", "") {}

    void startBluez() {
        ASSERT_TRUE(m_mock.startBus());
        ASSERT_TRUE(m_mock.startBluez()) << m_mock.log();
    }
    void offerBatteryProviders() {
        bool ok = false;
        const std::string out =
            m_mock.call("/org/bluez/hci0", "org.freedesktop.DBus.Mock.AddMethod",
                        {"string:org.bluez.BatteryProviderManager1",
                         "string:RegisterBatteryProvider", "string:o", "string:", "string:"},
                        &ok);
        ASSERT_TRUE(ok) << out;
    }
    void pair(const std::string& address, bool trusted) {
        m_mock.control("PairDevice", {"string:hci0", "string:" + address, "int32:0"});
        if (trusted) {
            m_mock.call("/org/bluez/hci0/dev_" + underscored(address),
                        "org.freedesktop.DBus.Properties.Set",
                        {"string:org.bluez.Device1", "string:Trusted", "variant:boolean:true"});
        }
    }
    static std::string underscored(std::string address) {
        std::replace(address.begin(), address.end(), ':', '_');
        return address;
    }

    FakeSystem m_system;
    bluez_test::MockBluez m_mock;
    ScopedEnv m_display;
    ScopedEnv m_wayland;
};

TEST_F(DoctorEndToEndTest, AComputerWithoutRadioOrBusSaysSoAndFails) {
    // No bus at all (DBUS_SYSTEM_BUS_ADDRESS points at a socket nobody listens on), no radio,
    // no Bluetooth sockets: this build machine.
    const Doctor doctor = runDoctor();
    EXPECT_EQ(doctor.exitCode, 1) << doctor.text;
    EXPECT_EQ(status(doctor["bluez"]), "failure");
    EXPECT_TRUE(seenMentions(doctor["bluez"], "BlueZ is not installed")) << doctor["bluez"];
    EXPECT_EQ(status(doctor["adapter"]), "failure");
    EXPECT_TRUE(seenMentions(doctor["adapter"], "knows no Bluetooth radio")) << doctor["adapter"];
    EXPECT_TRUE(fixMentions(doctor["adapter"], "--backend sim"));
    EXPECT_EQ(status(doctor["rfcomm"]), "failure");
    EXPECT_EQ(status(doctor["permission"]), "warning");
    EXPECT_EQ(doctor.summary.value("failures", -1), 3);
    EXPECT_EQ(doctor.summary.value("event", ""), "summary");
}

TEST_F(DoctorEndToEndTest, BlueZNotRunningOrTooOldOrRefusingTheUser) {
    m_system.everything();
    ASSERT_TRUE(m_mock.startBus());
    Doctor doctor = runDoctor();
    EXPECT_EQ(status(doctor["bluez"]), "failure");
    EXPECT_TRUE(seenMentions(doctor["bluez"], "does not run")) << doctor["bluez"];
    EXPECT_TRUE(seenMentions(doctor["bluez"], "5.66")) << doctor["bluez"];
    EXPECT_TRUE(fixMentions(doctor["bluez"], "systemctl enable --now bluetooth"));
    EXPECT_TRUE(seenMentions(doctor["adapter"], "hci0")) << doctor["adapter"];

    ASSERT_TRUE(m_mock.startBluez()) << m_mock.log();
    m_mock.addAdapter();
    m_system.bluetoothd("5.43");
    doctor = runDoctor();
    EXPECT_EQ(status(doctor["bluez"]), "failure") << doctor["bluez"];
    EXPECT_TRUE(seenMentions(doctor["bluez"], "5.50")) << doctor["bluez"];
    EXPECT_EQ(status(doctor["permission"]), "ok");

    m_mock.stopBluez();
    m_mock.stopBus();
    ASSERT_TRUE(m_mock.startBusDenyingBluez());
    ASSERT_TRUE(m_mock.startBluez()) << m_mock.log();
    doctor = runDoctor();
    EXPECT_EQ(status(doctor["permission"]), "failure") << doctor.text;
    EXPECT_TRUE(fixMentions(doctor["permission"], "usermod -aG bluetooth"));
    EXPECT_TRUE(fixMentions(doctor["permission"], "polkit"));
}

TEST_F(DoctorEndToEndTest, AdapterMissingSwitchedOffOrBlocked) {
    m_system.everything();
    startBluez();
    Doctor doctor = runDoctor();
    EXPECT_EQ(status(doctor["adapter"]), "failure");
    EXPECT_TRUE(seenMentions(doctor["adapter"], "BlueZ knows no adapter")) << doctor["adapter"];

    m_mock.addAdapter();
    m_mock.setPowered(false);
    doctor = runDoctor();
    EXPECT_EQ(status(doctor["adapter"]), "failure");
    EXPECT_TRUE(fixMentions(doctor["adapter"], "bluetoothctl power on")) << doctor["adapter"];
    EXPECT_EQ(status(doctor["rfkill"]), "ok");

    m_system.setSwitch(true, false);
    doctor = runDoctor();
    EXPECT_EQ(status(doctor["rfkill"]), "failure");
    EXPECT_TRUE(fixMentions(doctor["rfkill"], "rfkill unblock bluetooth")) << doctor["rfkill"];
    EXPECT_TRUE(fixMentions(doctor["adapter"], "unblock it first"));

    m_system.setSwitch(true, true);
    doctor = runDoctor();
    EXPECT_EQ(status(doctor["rfkill"]), "failure");
    EXPECT_TRUE(seenMentions(doctor["rfkill"], "hard-blocked"));
    EXPECT_TRUE(fixMentions(doctor["rfkill"], "wireless switch"));
}

TEST_F(DoctorEndToEndTest, EarbudsUntrustedWithoutTheServiceAndNoBatteryIndicator) {
    m_system.everything();
    startBluez();
    m_mock.addAdapter();
    m_mock.addDevice(kPlus, "Auralis+ (4F2A)");
    m_mock.addDevice(kFirst, "Auralis (77A0)");
    m_mock.addDevice("70:5A:B6:00:00:01", "Speaker");
    pair(kPlus, false);
    // Records whose serial-port class is not the first of its record: BlueZ lists it nowhere.
    m_mock.control("SetServiceRecords", {"string:hci0", "string:" + std::string(kFirst),
                                         "string:0000110b-0000-1000-8000-00805f9b34fb:l2cap:25"});
    pair(kFirst, true);
    const std::string when = logTimeTomorrow();
    writeFile(fs::path(std::getenv("AURALIS_LOG_DIR")) / "AuralisManager.log",
              when +
                  " [1] INFO BluetoothHandle::connectProcedure(114) Connecting device [Auralis "
                  "(77A0)]....\n" +
                  when + " [1] INFO BluetoothHandle::connectProcedure(132) Connect Ret = 112\n" +
                  when +
                  " [1] WARNING BluetoothHandle::connectProcedure(134) Connect Error:[112] [Host "
                  "is down] service [00001102-0000-1000-8000-00805F9B34FD]\n");

    const Doctor doctor = runDoctor();
    const json& plus = doctor[std::string("earbuds ") + kPlus];
    EXPECT_EQ(status(plus), "warning") << plus;
    EXPECT_TRUE(seenMentions(plus, "not trusted"));
    EXPECT_TRUE(fixMentions(plus, std::string("bluetoothctl trust ") + kPlus));
    const json& first = doctor[std::string("earbuds ") + kFirst];
    EXPECT_EQ(status(first), "failure") << first;
    EXPECT_TRUE(seenMentions(first, "no serial-port service"));
    EXPECT_TRUE(fixMentions(first, "unpair"));
    EXPECT_TRUE(seenMentions(first, "out of range or switched off")) << first;
    EXPECT_EQ(doctor.checks.count("earbuds 70:5A:B6:00:00:01"), 0u) << "not Auralis earbuds";
    EXPECT_EQ(status(doctor["battery-provider"]), "warning");
    EXPECT_TRUE(fixMentions(doctor["battery-provider"], "Experimental = true"));
    EXPECT_EQ(doctor.exitCode, 1);

    // Asked about one address BlueZ does not know.
    const Doctor unknown = runDoctor({"70:5A:B6:0F:0F:0F"});
    EXPECT_EQ(status(unknown["earbuds 70:5A:B6:0F:0F:0F"]), "failure") << unknown.text;
    EXPECT_EQ(unknown.checks.count(std::string("earbuds ") + kPlus), 0u);
}

TEST_F(DoctorEndToEndTest, EverythingInPlacePassesWithTheServicesChannelAndTheServer) {
    integration::SimNeighbourhood server(json::array(), json::object());
    ASSERT_TRUE(server.started());
    ScopedEnv url("AURALIS_UPDATE_URL", server.updateUrl());
    ScopedEnv standIn("AURALIS_BLUEZ_RFCOMM_STANDIN", (m_mock.folder() / "standin").string());
    m_system.everything();
    startBluez();
    m_mock.addAdapter();
    offerBatteryProviders();
    m_mock.control("StartRfcommStandIn", {"string:" + (m_mock.folder() / "standin").string()});
    m_mock.addDevice(kPlus, "Auralis+ (4F2A)");
    pair(kPlus, true);

    const Doctor doctor = runDoctor();
    EXPECT_EQ(doctor.exitCode, 0) << doctor.text;
    for (const char* name : {"bluez", "adapter", "rfkill", "permission", "rfcomm",
                             "battery-provider", "update-server", "folders"}) {
        EXPECT_EQ(status(doctor[name]), "ok") << name << ": " << doctor[name];
    }
    const json& plus = doctor[std::string("earbuds ") + kPlus];
    EXPECT_EQ(status(plus), "ok") << plus;
    EXPECT_TRUE(seenMentions(plus, std::string("serial-port service ") + kSerialPort));
    EXPECT_TRUE(seenMentions(plus, "RFCOMM channel 1")) << plus;
    EXPECT_EQ(status(doctor["display"]), "warning") << "no display in the test's environment";

    // The same server spoken to with TLS: the handshake fails and says so.
    std::string tlsUrl = server.updateUrl();
    tlsUrl.replace(0, 4, "https");
    ScopedEnv tls("AURALIS_UPDATE_URL", tlsUrl);
    const Doctor broken = runDoctor();
    EXPECT_EQ(status(broken["update-server"]), "failure") << broken["update-server"];
    EXPECT_TRUE(seenMentions(broken["update-server"], "TLS handshake"));
    EXPECT_TRUE(fixMentions(broken["update-server"], "clock"));
}

}  // namespace
