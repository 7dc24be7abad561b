#pragma once

#include <string>

namespace platform::bluetooth {

// The seam operation a D-Bus error came back from: a few error names mean different things
// (and so different result codes) depending on what was asked.
enum class BluezOperation {
    Radio,
    Scan,
    Pair,
    Unpair,
    Connect,
};

// Turns the D-Bus error (name and message) of a call that BlueZ, or the bus in its place,
// answered into the seam's result code (BluetoothError.h). Never returns kOk.
int mapBluezError(BluezOperation operation, const std::string& name, const std::string& message);

// BlueZ is still busy with the device (service discovery after pairing, a link going down): a
// connect is worth trying again. Keyed on the name and on the message, since 5.66 reports a busy
// RFCOMM connect as org.bluez.Error.Failed "br-connection-busy".
bool isBluezBusy(const std::string& name, const std::string& message);

// ConnectProfile found no service for the id among the device's Device1.UUIDs.
bool isProfileUnavailable(const std::string& name, const std::string& message);

// True for the errors that say BlueZ itself cannot be reached (not running, not activatable,
// the bus gone), as opposed to BlueZ refusing a request.
bool isBluezUnreachable(const std::string& name);

}  // namespace platform::bluetooth
