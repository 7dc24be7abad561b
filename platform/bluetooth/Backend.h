#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bluetooth/BluetoothError.h"
#include "platform/bluetooth/Connection.h"

namespace platform::bluetooth {

// A device seen by a scan.
struct DiscoveredDevice {
    std::string name;  // UTF-8, as the device announces itself
    uint64_t address = 0;

    bool operator==(const DiscoveredDevice&) const = default;
};

struct ScanResult {
    int code = kOk;
    std::vector<DiscoveredDevice> devices;  // empty unless code is kOk
};

struct ConnectResult {
    int code = kOk;
    std::shared_ptr<Connection> connection;  // set exactly when code is kOk
};

// The computer's Bluetooth as the device link uses it: a narrow, synchronous seam. Every
// operation returns within a bounded time (the backend's own time-outs) and may be called from
// any thread, also concurrently. Results are codes of BluetoothError.h; errorText() names them.
class Backend {
public:
    virtual ~Backend();

    // "sim", "bluez", ...: for log lines and messages.
    virtual std::string name() const = 0;

    // Is there a radio that answers? kOk when there is, whether or not devices are around.
    // Possible errors: ENODEV (no radio, or it is switched off), ENOSYS (this backend is not
    // available on this computer), ECONNREFUSED/ENOENT (the Bluetooth service cannot be
    // reached), ETIMEDOUT, EPROTO (an answer that makes no sense).
    virtual int checkRadio() = 0;

    // The devices in range now, by name and address (each address once).
    // Possible errors: as checkRadio.
    virtual ScanResult scan() = 0;

    // Pairs with the device, accepting its authentication request without asking anybody.
    // kOk when paired now. Possible errors: kErrorAlreadyPaired (259: paired before; a caller
    // that wants a link simply goes on), kErrorCancelled, kErrorNotAuthenticated,
    // kErrorInvalidParameter, EHOSTDOWN (device unknown or out of range), ENODEV, ENOSYS,
    // ECONNREFUSED/ENOENT, ETIMEDOUT, EPROTO.
    virtual int pair(uint64_t address) = 0;

    // Removes the pairing; the device must be paired afresh before the next link.
    // Possible errors: ENOENT (no such device), ENODEV, ENOSYS, ECONNREFUSED, ETIMEDOUT, EPROTO.
    virtual int unpair(uint64_t address) = 0;

    // Opens the serial-port (RFCOMM) stream of the service with this class id on the device.
    // Possible errors: ECONNREFUSED (the device offers no such service), EACCES (not paired),
    // EHOSTDOWN (out of range), EBUSY (the device has a link already), ENODEV, ENOSYS,
    // ENOENT (the Bluetooth service cannot be reached), ETIMEDOUT, EPROTO.
    virtual ConnectResult connect(uint64_t address, const std::string& serviceUuid) = 0;
};

}  // namespace platform::bluetooth
