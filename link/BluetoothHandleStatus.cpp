// The status messages of the device link: the serial-number request, the acknowledgement and
// the reset request, and the handlers of the earbuds' status, version and serial-number reports.

#include <cstring>

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "link/MessageIds.h"
#include "link/NarrowText.h"
#include "link/PayloadReader.h"
#include "link/StatusCodec.h"

namespace {

constexpr std::size_t kSerialWidthFirst = 12;
constexpr std::size_t kSerialWidthSecond = 11;

}  // namespace

bool BluetoothHandle::SendGetDeviceIMEI() {
    _Log(LOG_INFO, "BluetoothHandle::SendGetDeviceIMEI", __LINE__,
         "=====SendGetDeviceIMEI start=====");
    if (!connection()) {
        return false;
    }
    const uint8_t body[] = {MSG_ID_DEBUG_SERIAL_NUMBER, 0x00, 0x00};
    return sendBody(body, sizeof(body), 0, true);
}

bool BluetoothHandle::sendResetDevice() {
    _Log(LOG_INFO, "BluetoothHandle::sendResetDevice", __LINE__, "=====SendResetDevice start=====");
    if (!connection()) {
        return false;
    }
    const uint8_t body[] = {MSG_ID_RESET, 0x00, 0x00};
    return sendBody(body, sizeof(body), 0, false);
}

bool BluetoothHandle::sendUpdateResponse(uint8_t id) {
    _Log(LOG_INFO, "BluetoothHandle::sendUpdateResponse", __LINE__,
         "=====SendUpdateResponse start=====");
    if (!connection()) {
        return false;
    }
    if (isSecondGeneration()) {
        const uint8_t body[] = {id, 0x00, 0x00, 0x00};
        return sendBody(body, sizeof(body), 1, true);
    }
    const uint8_t body[] = {MSG_ID_UPDATE_RESPONSE, id, 0x00, 0x00, 0x00};
    return sendBody(body, sizeof(body), 1, true);
}

void BluetoothHandle::notifyStatus(const DeviceStatus& status) {
    notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceStatusChange(status); });
}

bool BluetoothHandle::parseStatusUpdate(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseStatusUpdate";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseStatusUpdate (0x60) start=====");
    logMessage("RECV: ", kMethod, payload, length);
    if (!devlink::payloadHolds(kMethod, length, devlink::kStatusUpdateLength)) {
        return false;
    }
    DeviceStatus status;
    {
        std::lock_guard lock(m_stateMutex);
        m_status = *devlink::decodeStatusUpdate({payload, length}, m_status);
        status = m_status;
    }
    _Log(LOG_INFO, kMethod, __LINE__,
         "parseStatusUpdate (0x60) => earType[%d] | batteryLeft[%d] | batteryRight[%d] | "
         "batteryCase[%d] | twsStatus[%d] | mainConnection[%d] | wearingDetection[%d]",
         status.earType, status.batteryLeft, status.batteryRight, status.batteryCase,
         status.twsStatus, status.mainConnection, status.wearingDetection);
    notifyStatus(status);
    sendUpdateResponse(MSG_ID_STATUS_UPDATED);
    return true;
}

bool BluetoothHandle::parseExtendStatusUpdate(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseExtendStatusUpdate";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseExtendStatusUpdate (0x61) start=====");
    logMessage("RECV: ", kMethod, payload, length);
    const devlink::Generation generation = this->generation();
    if (!devlink::payloadHolds(kMethod, length, devlink::extendedStatusLength(generation))) {
        return false;
    }
    DeviceStatus status;
    {
        std::lock_guard lock(m_stateMutex);
        m_status = *devlink::decodeExtendedStatusUpdate({payload, length}, generation, m_status);
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
    sendUpdateResponse(MSG_ID_EXTENDED_STATUS_UPDATED);
    return true;
}

bool BluetoothHandle::parseSWVersion(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseSWVersion";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseSWVersion (0xB4) start=====");
    logMessage("RECV: ", kMethod, payload, length);
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
        std::lock_guard lock(m_stateMutex);
        if (text[0] == 'R') {
            m_softwareVersionRight = devlink::narrowTextToUtf8(std::string_view(text).substr(1));
        } else if (text[0] == 'L') {
            m_softwareVersionLeft = devlink::narrowTextToUtf8(std::string_view(text).substr(1));
        }
        left = m_softwareVersionLeft;
        right = m_softwareVersionRight;
    }
    notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceVersionChange(left, right); });
    return true;
}

bool BluetoothHandle::parseDeviceIMEI(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseDeviceIMEI";
    _Log(LOG_INFO, kMethod, __LINE__, "=====parseDeviceIMEI (0x29) start=====");
    logMessage("RECV: ", kMethod, payload, length);
    const std::size_t width = isSecondGeneration() ? kSerialWidthSecond : kSerialWidthFirst;
    if (!devlink::payloadHolds(kMethod, length, 2 * width)) {
        return false;
    }
    // Fixed-width fields copied as they are, NUL bytes included.
    const std::string left(reinterpret_cast<const char*>(payload), width);
    const std::string right(reinterpret_cast<const char*>(payload) + width, width);
    {
        std::lock_guard lock(m_stateMutex);
        m_imeiLeft = left;
        m_imeiRight = right;
    }
    _Log(LOG_INFO, kMethod, __LINE__, "imeiLeft: %s", left.c_str());
    _Log(LOG_INFO, kMethod, __LINE__, "imeiRight: %s", right.c_str());
    const bool valid = !left.empty() && !right.empty();
    notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceIMEIChange(valid, left, right); });
    return true;
}

DeviceStatus BluetoothHandle::deviceStatus() const {
    std::lock_guard lock(m_stateMutex);
    return m_status;
}

std::string BluetoothHandle::imeiLeft() const {
    std::lock_guard lock(m_stateMutex);
    return m_imeiLeft;
}

std::string BluetoothHandle::imeiRight() const {
    std::lock_guard lock(m_stateMutex);
    return m_imeiRight;
}

std::string BluetoothHandle::softwareVersionLeft() const {
    std::lock_guard lock(m_stateMutex);
    return m_softwareVersionLeft;
}

std::string BluetoothHandle::softwareVersionRight() const {
    std::lock_guard lock(m_stateMutex);
    return m_softwareVersionRight;
}
