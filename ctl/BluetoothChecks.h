#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ctl/ConnectHistory.h"
#include "ctl/DoctorCheck.h"
#include "platform/bluetooth/BluetoothSystemFacts.h"

namespace ctl {

// The oldest BlueZ whose interfaces the program relies on (discovery filters with a transport,
// profile connections by service id, the Bonded property read when present).
constexpr const char* kMinimumBluezVersion = "5.50";

// The Bluetooth part of the doctor, judged from what the computer told (no I/O of its own
// except through recordChannel).
struct BluetoothCheckInput {
    platform::bluetooth::BluetoothSystemFacts facts;
    // The pair asked about; empty: every pair of Auralis earbuds BlueZ knows.
    std::optional<uint64_t> address;
    ConnectHistory history;
    // The RFCOMM channel of a service in a device's records (address, lower-case uuid, error);
    // null when the records are not to be read.
    std::function<std::optional<int>(uint64_t, const std::string&, int&)> recordChannel;
};

DoctorCheck checkBluez(const BluetoothCheckInput& input);
DoctorCheck checkAdapter(const BluetoothCheckInput& input);
DoctorCheck checkRfkill(const BluetoothCheckInput& input);
DoctorCheck checkPermission(const BluetoothCheckInput& input);
DoctorCheck checkRfcomm(const BluetoothCheckInput& input);
DoctorCheck checkBatteryProvider(const BluetoothCheckInput& input);
// One check per pair of earbuds (at least one).
DoctorChecks checkEarbuds(const BluetoothCheckInput& input);

// All of the above, in that order.
DoctorChecks runBluetoothChecks(const BluetoothCheckInput& input);

}  // namespace ctl
