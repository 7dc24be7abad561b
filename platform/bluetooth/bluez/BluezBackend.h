#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/bluetooth/Backend.h"
#include "platform/bluetooth/bluez/BluezOptions.h"

namespace platform::bluetooth {

class BluezDiscovery;
class BluezRfcommDialer;
class BluezSession;
struct BluezReply;
enum class BluezOperation;

// The computer's Bluetooth through BlueZ over D-Bus on the system bus
// ($DBUS_SYSTEM_BUS_ADDRESS when set). Needs bluetoothd running and an adapter powered; no
// group membership (BlueZ's bus policy lets every user talk to it).
//
// - checkRadio: an org.bluez.Adapter1 exists and is powered.
// - scan: one report of a discovery session on BR/EDR that stays open across scans
//   (BluezDiscovery): the devices BlueZ announced during the session plus every device paired
//   with the adapter (paired earbuds that are not discoverable still show, in range or not).
// - pair: Device1.Pair with our agent registered for the time of the pairing, accepting only
//   this device; the device is marked trusted afterwards.
// - unpair: Adapter1.RemoveDevice.
// - connect: ProfileManager1.RegisterProfile (client role) and Device1.ConnectProfile; the
//   socket arrives in our Profile1.NewConnection and becomes an FdConnection, whose close()
//   shuts the socket down so BlueZ drops the link. BlueZ connects only the first service
//   class of each SDP record; when it answers that the profile is unavailable, the RFCOMM
//   channel of the service is looked up in the device's SDP records and connected directly
//   (BluezRfcommDialer). A ConnectProfile that succeeds without handing over a socket (BlueZ
//   still holds an earlier link of the service) is followed by DisconnectProfile and one retry.
//
// Result codes beyond Backend's: ENOSYS when there is no system bus at all ("Bluetooth is not
// available"), ECONNREFUSED (ENOENT for connect) when BlueZ does not run, ENODEV when there
// is no adapter or it is off, and BlueZ's errors mapped as mapBluezError (BluezErrorMap.h) says.
// Every call to BlueZ has its own time-out (BluezOptions); nothing waits longer.
class BluezBackend final : public Backend {
public:
    explicit BluezBackend(BluezOptions options = BluezOptions::fromEnvironment());
    // With another way to reach SDP and RFCOMM sockets (tests).
    BluezBackend(BluezOptions options, std::unique_ptr<BluezRfcommDialer> dialer);
    ~BluezBackend() override;
    BluezBackend(const BluezBackend&) = delete;
    BluezBackend& operator=(const BluezBackend&) = delete;

    std::string name() const override { return "bluez"; }
    int checkRadio() override;
    ScanResult scan() override;
    int pair(uint64_t address) override;
    int unpair(uint64_t address) override;
    ConnectResult connect(uint64_t address, const std::string& serviceUuid) override;

private:
    struct Context;

    // The current session, opened anew when there is none or its connection broke; null when
    // there is no system bus.
    std::shared_ptr<BluezSession> session();
    // Opens the session and reads BlueZ's objects; checks that an adapter is there and powered.
    // kOk or the operation's result code (each cause logged in its own words).
    int prepare(BluezOperation operation, const char* method, Context& context);
    int pairWithAgent(Context& context, const std::string& devicePath);
    void trust(Context& context, const std::string& devicePath);
    int registerProfile(Context& context, const std::string& uuid);
    // ConnectProfile, tried again while BlueZ is busy; fd gets the socket that arrived (-1: none).
    BluezReply connectProfile(Context& context, const std::string& devicePath,
                              const std::string& uuid, int& fd);
    ConnectResult connectThroughBluez(Context& context, const std::string& devicePath,
                                      const std::string& uuid);
    ConnectResult connectDirectly(uint64_t address, const std::string& devicePath,
                                  const std::string& uuid);

    const BluezOptions m_options;
    const std::unique_ptr<BluezRfcommDialer> m_dialer;
    const std::unique_ptr<BluezDiscovery> m_discovery;
    std::mutex m_sessionMutex;
    std::shared_ptr<BluezSession> m_session;
    // One discovery session per D-Bus client: cycles run one after another.
    std::mutex m_scanMutex;
    // The agent serves one pairing at a time.
    std::mutex m_pairMutex;
};

}  // namespace platform::bluetooth
