// The earbuds' battery in the desktop's indicator, against a mock BlueZ on a private bus:
// exported and registered while connected, updated on status reports, gone after the
// disconnect; and a BlueZ without the battery-provider interface, which is simply carried on.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/Log.h"
#include "platform/bluetooth/bluez/BluezBatteryProvider.h"
#include "tests/platform/bluetooth/bluez/MockBluez.h"

namespace {

using platform::bluetooth::BluezBatteryProvider;

constexpr uint64_t kEarbuds = 0x0A1B2C3D4E5FULL;
constexpr const char* kEarbudsPath = "/org/bluez/hci0/dev_0A_1B_2C_3D_4E_5F";
constexpr const char* kBatteryPath = "/com/auralis/manager/battery/dev_0A_1B_2C_3D_4E_5F";
constexpr int kSettleMs = 10000;

std::string logText() {
    base::log::flush();
    std::ifstream in(base::log::currentFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++found;
    }
    return found;
}

class BluezBatteryProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_mock.startBus());
        ASSERT_TRUE(m_mock.startBluez()) << m_mock.log();
        m_mock.addAdapter();
        m_mock.addDevice("0A:1B:2C:3D:4E:5F", "Auralis+ (4E5F)");
    }

    // BlueZ with experimental features: the adapter offers the battery-provider manager.
    void offerBatteryProviders() {
        bool ok = false;
        const std::string out =
            m_mock.call("/org/bluez/hci0", "org.freedesktop.DBus.Mock.AddMethod",
                        {"string:org.bluez.BatteryProviderManager1",
                         "string:RegisterBatteryProvider", "string:o", "string:", "string:"},
                        &ok);
        ASSERT_TRUE(ok) << out;
    }

    std::string registrations() {
        return m_mock.call("/org/bluez/hci0", "org.freedesktop.DBus.Mock.GetMethodCalls",
                           {"string:RegisterBatteryProvider"});
    }

    // What BlueZ reads from the provider: its object manager's objects.
    std::string providerObjects(const BluezBatteryProvider& provider) {
        const bluez_test::ProgramRun run =
            bluez_test::runProgram({"dbus-send", "--bus=" + m_mock.busAddress(), "--print-reply",
                                    "--dest=" + provider.busName(), BluezBatteryProvider::kRootPath,
                                    "org.freedesktop.DBus.ObjectManager.GetManagedObjects"},
                                   {.searchPath = true});
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        return run.out;
    }

    bluez_test::MockBluez m_mock;
};

TEST_F(BluezBatteryProviderTest, ShownWhileConnectedUpdatedOnReportsAndGoneAfterDisconnect) {
    offerBatteryProviders();
    BluezBatteryProvider provider;
    provider.show(kEarbuds, 40);
    ASSERT_TRUE(provider.settle(kSettleMs));
    EXPECT_NE(registrations().find(BluezBatteryProvider::kRootPath), std::string::npos)
        << registrations();
    std::string objects = providerObjects(provider);
    EXPECT_NE(objects.find(kBatteryPath), std::string::npos) << objects;
    EXPECT_NE(objects.find(kEarbudsPath), std::string::npos) << objects;
    EXPECT_NE(objects.find("byte 40"), std::string::npos) << objects;
    EXPECT_NE(objects.find("Auralis Manager"), std::string::npos) << objects;

    // A later report updates the level; registering again is not needed.
    provider.show(kEarbuds, 35);
    provider.show(kEarbuds, 200);  // not a level: ignored
    ASSERT_TRUE(provider.settle(kSettleMs));
    objects = providerObjects(provider);
    EXPECT_NE(objects.find("byte 35"), std::string::npos) << objects;
    EXPECT_EQ(count(registrations(), BluezBatteryProvider::kRootPath), 1u) << registrations();

    provider.remove();
    ASSERT_TRUE(provider.settle(kSettleMs));
    objects = providerObjects(provider);
    EXPECT_EQ(objects.find(kBatteryPath), std::string::npos) << objects;

    // Connected again: the battery is back.
    provider.show(kEarbuds, 80);
    ASSERT_TRUE(provider.settle(kSettleMs));
    EXPECT_NE(providerObjects(provider).find("byte 80"), std::string::npos);
}

TEST_F(BluezBatteryProviderTest, WithoutTheInterfaceItLogsOnceAndCarriesOn) {
    BluezBatteryProvider provider;
    provider.show(kEarbuds, 40);
    ASSERT_TRUE(provider.settle(kSettleMs));
    provider.show(kEarbuds, 30);
    provider.remove();
    provider.show(kEarbuds, 20);
    ASSERT_TRUE(provider.settle(kSettleMs));
    EXPECT_EQ(count(logText(), "battery indicator cannot show the earbuds"), 1u) << logText();
    EXPECT_EQ(providerObjects(provider).find(kBatteryPath), std::string::npos);
}

TEST(BluezBatteryProviderNoBusTest, WithoutASystemBusNothingBlocks) {
    bluez_test::MockBluez mock;  // points the system bus at a bus that is not started
    BluezBatteryProvider provider;
    provider.show(kEarbuds, 40);
    EXPECT_TRUE(provider.settle(kSettleMs));
    provider.remove();
    EXPECT_TRUE(provider.settle(kSettleMs));
}

}  // namespace
