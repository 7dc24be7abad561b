// The earbuds' reported state and the handlers of their status, version and serial-number
// reports. Log lines keep the names the link's log has always used (BluetoothHandle::...).

#include "link/DeviceState.h"

#include <cstring>
#include <optional>

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "link/MessageIds.h"
#include "link/NarrowText.h"
#include "link/StatusCodec.h"

void DeviceState::notifyStatus(const DeviceStatus& status) {
    m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceStatusChange(status); });
}

bool DeviceState::parseStatusUpdate(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseStatusUpdate";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseStatusUpdate (0x60) start=====");
    BluetoothHandle::logMessage("RECV: ", kMethod, payload, length);
    DeviceStatus status;
    {
        std::lock_guard lock(m_mutex);
        const std::optional<DeviceStatus> decoded =
            devlink::decodeStatusUpdate({payload, length}, m_status);
        if (!decoded) {
            return false;
        }
        m_status = *decoded;
        status = m_status;
    }
    _Log(LOG_INFO, kMethod, __LINE__,
         "parseStatusUpdate (0x60) => earType[%d] | batteryLeft[%d] | batteryRight[%d] | "
         "batteryCase[%d] | twsStatus[%d] | mainConnection[%d] | wearingDetection[%d]",
         status.earType, status.batteryLeft, status.batteryRight, status.batteryCase,
         status.twsStatus, status.mainConnection, status.wearingDetection);
    notifyStatus(status);
    m_link.sendUpdateResponse(MSG_ID_STATUS_UPDATED);
    return true;
}

bool DeviceState::parseExtendStatusUpdate(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseExtendStatusUpdate";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseExtendStatusUpdate (0x61) start=====");
    BluetoothHandle::logMessage("RECV: ", kMethod, payload, length);
    DeviceStatus status;
    {
        std::lock_guard lock(m_mutex);
        const std::optional<DeviceStatus> decoded =
            devlink::decodeExtendedStatusUpdate({payload, length}, m_link.generation(), m_status);
        if (!decoded) {
            return false;
        }
        m_status = *decoded;
        status = m_status;
    }
    _Log(LOG_INFO, kMethod, __LINE__, "parseExtendStatusUpdate (0x61) => Message Revision[%d]",
         status.messageRevision);
    _Log(LOG_INFO, kMethod, __LINE__,
         "parseExtendStatusUpdate (0x61) => BatteryLevelL[%d] | BatteryLevelR[%d] | "
         "BatteryLevelCase[%d]",
         status.batteryLeft, status.batteryRight, status.batteryCase);
    _Log(LOG_INFO, kMethod, __LINE__,
         "parseExtendStatusUpdate (0x61) => PrimaryEarbud[%d] | WearingDetection[%d] | "
         "DeviceColorL[%d] | DeviceColorR[%d]",
         status.mainConnection, status.wearingDetection, status.DeviceColorL, status.DeviceColorR);
    notifyStatus(status);
    m_link.sendUpdateResponse(MSG_ID_EXTENDED_STATUS_UPDATED);
    return true;
}

bool DeviceState::parseSWVersion(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseSWVersion";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseSWVersion (0xB4) start=====");
    BluetoothHandle::logMessage("RECV: ", kMethod, payload, length);
    // The text ends at the payload's end or at its first NUL byte.
    const void* nul = length > 0 ? std::memchr(payload, 0, length) : nullptr;
    const std::size_t textLength =
        nul != nullptr ? static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - payload)
                       : length;
    const std::string text(reinterpret_cast<const char*>(payload), textLength);
    _Log(LOG_INFO, kMethod, __LINE__, "SW_Version: %s", text.c_str());
    if (text.empty()) {
        return false;
    }
    std::string left;
    std::string right;
    {
        std::lock_guard lock(m_mutex);
        if (text[0] == 'R') {
            m_softwareVersionRight = devlink::narrowTextToUtf8(std::string_view(text).substr(1));
        } else if (text[0] == 'L') {
            m_softwareVersionLeft = devlink::narrowTextToUtf8(std::string_view(text).substr(1));
        }
        left = m_softwareVersionLeft;
        right = m_softwareVersionRight;
    }
    m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceVersionChange(left, right); });
    return true;
}

bool DeviceState::parseDeviceIMEI(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseDeviceIMEI";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseDeviceIMEI (0x29) start=====");
    BluetoothHandle::logMessage("RECV: ", kMethod, payload, length);
    const std::optional<devlink::SerialNumbers> serials =
        devlink::decodeSerialNumbers({payload, length}, m_link.generation());
    if (!serials) {
        return false;
    }
    const std::string& left = serials->left;
    const std::string& right = serials->right;
    {
        std::lock_guard lock(m_mutex);
        m_imeiLeft = left;
        m_imeiRight = right;
    }
    _Log(LOG_INFO, kMethod, __LINE__, "imeiLeft: %s", left.c_str());
    _Log(LOG_INFO, kMethod, __LINE__, "imeiRight: %s", right.c_str());
    const bool valid = !left.empty() && !right.empty();
    m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceIMEIChange(valid, left, right); });
    return true;
}

DeviceStatus DeviceState::status() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

std::string DeviceState::imeiLeft() const {
    std::lock_guard lock(m_mutex);
    return m_imeiLeft;
}

std::string DeviceState::imeiRight() const {
    std::lock_guard lock(m_mutex);
    return m_imeiRight;
}

std::string DeviceState::softwareVersionLeft() const {
    std::lock_guard lock(m_mutex);
    return m_softwareVersionLeft;
}

std::string DeviceState::softwareVersionRight() const {
    std::lock_guard lock(m_mutex);
    return m_softwareVersionRight;
}

void DeviceState::reset() {
    std::lock_guard lock(m_mutex);
    m_status = DeviceStatus{};
    m_imeiLeft.clear();
    m_imeiRight.clear();
    m_softwareVersionLeft.clear();
    m_softwareVersionRight.clear();
}
