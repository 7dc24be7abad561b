#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "link/DeviceStatus.h"

class BluetoothDevice;

// The events of the device link, in slot order. Every operation has an empty default, so a
// receiver overrides what it needs. Events arrive on the link's worker threads, never on the UI
// thread; a receiver that blocks holds up the thread that raised the event.
class IBluetoothHandleDelegate {
public:
    // 0: status report 0x60 or 0x61; a copy of the whole record.
    virtual void OnDeviceStatusChange(DeviceStatus /*status*/) {}
    // 1: every connect attempt.
    virtual void OnDeviceConnected(bool /*isConnected*/, BluetoothDevice* /*device*/) {}
    // 2: 1 = nothing received for 20 s during a firmware transfer, 0 = the alive check failed.
    virtual void OnDeviceDisconnected(int /*DisconnectError*/) {}
    // 3: firmware session and update state reports.
    virtual void OnFotaStateChange(int /*state*/) {}
    // 4: software versions (0xB4), left then right.
    virtual void OnDeviceVersionChange(std::string /*left*/, std::string /*right*/) {}
    // 5: the earbuds asked for an emergency update (0xBA).
    virtual void OnDeviceVersionMismatch() {}
    // 6: non-zero firmware error codes.
    virtual void OnFotaError(int /*errCode*/) {}
    // 7: firmware transfer progress.
    virtual void OnDownloadProgressChange(int /*percent*/, uint64_t /*bytes*/) {}
    // 8: end of a firmware update.
    virtual void OnDownloadFinish(bool /*success*/, int /*errorCode*/) {}
    // 9: the Bluetooth support check.
    virtual void OnCheckBluetoothResponse(bool /*isSupport*/) {}
    // 10: serial numbers (0x29); valid when both are non-empty.
    virtual void OnDeviceIMEIChange(bool /*valid*/, std::string /*imeiLeft*/,
                                    std::string /*imeiRight*/) {}
    // 11: each discovery cycle that found a device; a copy of the found-devices map.
    virtual void OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> /*devices*/) {}

protected:
    // The link never owns or deletes its delegate.
    ~IBluetoothHandleDelegate() = default;
};
