#include "link/MessageRoute.h"

#include "link/BluetoothHandle.h"
#include "link/MessageIds.h"

namespace devlink {
namespace {

// What a message with one response flag gets: dropped (no log, no handler), only logged, or
// logged and handled.
struct Reaction {
    bool listed;
    PayloadHandler handler;
};

constexpr Reaction kDrop{false, nullptr};
constexpr Reaction kLogOnly{true, nullptr};
constexpr Reaction handledBy(PayloadHandler handler) {
    return {true, handler};
}

struct RouteEntry {
    uint8_t id;
    const char* name;
    Reaction request;   // received with response flag 0
    Reaction response;  // received with response flag 1
};

}  // namespace

// A friend of the handle: the table names its private handlers.
MessageRoute routeMessage(int messageId, int response) {
    using H = BluetoothHandle;
    static constexpr RouteEntry kRoutes[] = {
        {MSG_ID_DEBUG_SERIAL_NUMBER, "MSG_ID_DEBUG_SERIAL_NUMBER", kDrop,
         handledBy(&H::parseDeviceIMEI)},
        {MSG_ID_RESET, "MSG_ID_RESET", kDrop, kDrop},
        {MSG_ID_UPDATE_RESPONSE, "MSG_ID_UPDATE_RESPONSE", kDrop, kDrop},
        {MSG_ID_STATUS_UPDATED, "MSG_ID_STATUS_UPDATED", handledBy(&H::parseStatusUpdate),
         handledBy(&H::parseStatusUpdate)},
        {MSG_ID_EXTENDED_STATUS_UPDATED, "MSG_ID_EXTENDED_STATUS_UPDATED",
         handledBy(&H::parseExtendStatusUpdate), kLogOnly},
        {MSG_ID_FOTA_SESSION, "MSG_ID_FOTA_SESSION", handledBy(&H::parseOpenSessionResponse),
         handledBy(&H::parseOpenSessionResponse)},
        {MSG_ID_FOTA_CONTROL, "MSG_ID_FOTA_CONTROL", handledBy(&H::parseFOTACtrlResponse), kDrop},
        {MSG_ID_FOTA_DOWNLOAD_DATA, "MSG_ID_FOTA_DOWNLOAD_DATA", kLogOnly,
         handledBy(&H::parseFOTADownloadDataResponse)},
        {MSG_ID_FOTA_UPDATE, "MSG_ID_FOTA_UPDATE", handledBy(&H::parseFOTAUpdateResponse),
         kLogOnly},
        {MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, "MSG_ID_FOTA_DEVICE_INFO_SW_VERSION", kDrop,
         handledBy(&H::parseSWVersion)},
        {MSG_ID_FOTA2_EMERGENCY, "MSG_ID_FOTA2_EMERGENCY",
         handledBy(&H::parseFOTA2EmergencyResponse), kDrop},
        {MSG_ID_FOTA2_OPEN, "MSG_ID_FOTA2_OPEN", handledBy(&H::parseFOTA2OpenResponse), kDrop},
        {MSG_ID_FOTA2_CONTROL, "MSG_ID_FOTA_CONTROL", handledBy(&H::parseFOTACtrlResponse), kDrop},
        {MSG_ID_FOTA2_DATA, "MSG_ID_FOTA2_DATA", handledBy(&H::parseFOTA2DataResponse), kDrop},
        {MSG_ID_FOTA2_UPDATE, "MSG_ID_FOTA_UPDATE", handledBy(&H::parseFOTAUpdateResponse), kDrop},
    };
    for (const RouteEntry& entry : kRoutes) {
        if (entry.id != messageId) {
            continue;
        }
        const Reaction& reaction = response != 0 ? entry.response : entry.request;
        if (!reaction.listed) {
            break;
        }
        return {entry.name, reaction.handler};
    }
    return {nullptr, nullptr};
}

}  // namespace devlink
