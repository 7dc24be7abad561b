#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "link/DeviceStatus.h"

class BluetoothHandle;

// The state the earbuds report: the status record, the software versions and the serial
// numbers, with the handlers of the messages that carry them (0x60, 0x61, 0xB4, 0x29). The
// state is never reset by a new connection; it keeps the last values received. Handlers run on
// the listener thread; the getters hand out copies to any thread.
class DeviceState {
public:
    explicit DeviceState(BluetoothHandle& link) : m_link(link) {}
    DeviceState(const DeviceState&) = delete;
    DeviceState& operator=(const DeviceState&) = delete;

    // The handlers the routing table names. The table has checked that the payload holds the
    // layout of its message (extra bytes are ignored); each raises its event and, for the
    // status reports, sends the acknowledgement.
    bool parseStatusUpdate(const uint8_t* payload, std::size_t length);
    bool parseExtendStatusUpdate(const uint8_t* payload, std::size_t length);
    bool parseSWVersion(const uint8_t* payload, std::size_t length);
    bool parseDeviceIMEI(const uint8_t* payload, std::size_t length);

    DeviceStatus status() const;
    std::string imeiLeft() const;
    std::string imeiRight() const;
    std::string softwareVersionLeft() const;
    std::string softwareVersionRight() const;
    // Forgets everything received (tests and fuzzing).
    void reset();

private:
    void notifyStatus(const DeviceStatus& status);

    BluetoothHandle& m_link;
    mutable std::mutex m_mutex;
    DeviceStatus m_status;
    std::string m_imeiLeft;
    std::string m_imeiRight;
    std::string m_softwareVersionLeft;
    std::string m_softwareVersionRight;
};
