#include "link/MessageRoute.h"

#include "link/MessageIds.h"

namespace devlink {
namespace {

struct RouteEntry {
    uint8_t id;
    const char* name;
    Handler request;   // received with response flag 0
    Handler response;  // received with response flag 1
};

constexpr RouteEntry kRoutes[] = {
    {MSG_ID_DEBUG_SERIAL_NUMBER, "MSG_ID_DEBUG_SERIAL_NUMBER", Handler::Dropped,
     Handler::ParseDeviceIMEI},
    {MSG_ID_RESET, "MSG_ID_RESET", Handler::Dropped, Handler::Dropped},
    {MSG_ID_UPDATE_RESPONSE, "MSG_ID_UPDATE_RESPONSE", Handler::Dropped, Handler::Dropped},
    {MSG_ID_STATUS_UPDATED, "MSG_ID_STATUS_UPDATED", Handler::ParseStatusUpdate,
     Handler::ParseStatusUpdate},
    {MSG_ID_EXTENDED_STATUS_UPDATED, "MSG_ID_EXTENDED_STATUS_UPDATED",
     Handler::ParseExtendStatusUpdate, Handler::LogOnly},
    {MSG_ID_FOTA_SESSION, "MSG_ID_FOTA_SESSION", Handler::ParseOpenSessionResponse,
     Handler::ParseOpenSessionResponse},
    {MSG_ID_FOTA_CONTROL, "MSG_ID_FOTA_CONTROL", Handler::ParseFOTACtrlResponse, Handler::Dropped},
    {MSG_ID_FOTA_DOWNLOAD_DATA, "MSG_ID_FOTA_DOWNLOAD_DATA", Handler::LogOnly,
     Handler::ParseFOTADownloadDataResponse},
    {MSG_ID_FOTA_UPDATE, "MSG_ID_FOTA_UPDATE", Handler::ParseFOTAUpdateResponse, Handler::LogOnly},
    {MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, "MSG_ID_FOTA_DEVICE_INFO_SW_VERSION", Handler::Dropped,
     Handler::ParseSWVersion},
    {MSG_ID_FOTA2_EMERGENCY, "MSG_ID_FOTA2_EMERGENCY", Handler::ParseFOTA2EmergencyResponse,
     Handler::Dropped},
    {MSG_ID_FOTA2_OPEN, "MSG_ID_FOTA2_OPEN", Handler::ParseFOTA2OpenResponse, Handler::Dropped},
    {MSG_ID_FOTA2_CONTROL, "MSG_ID_FOTA_CONTROL", Handler::ParseFOTACtrlResponse, Handler::Dropped},
    {MSG_ID_FOTA2_DATA, "MSG_ID_FOTA2_DATA", Handler::ParseFOTA2DataResponse, Handler::Dropped},
    {MSG_ID_FOTA2_UPDATE, "MSG_ID_FOTA_UPDATE", Handler::ParseFOTAUpdateResponse, Handler::Dropped},
};

}  // namespace

MessageRoute routeMessage(int messageId, int response) {
    for (const RouteEntry& entry : kRoutes) {
        if (entry.id != messageId) {
            continue;
        }
        const Handler handler = response != 0 ? entry.response : entry.request;
        if (handler == Handler::Dropped) {
            break;
        }
        return {entry.name, handler};
    }
    return {nullptr, Handler::Dropped};
}

}  // namespace devlink
