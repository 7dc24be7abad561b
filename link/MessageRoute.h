#pragma once

#include <cstdint>

namespace devlink {

// Which handler a received message reaches, by id and response flag.
enum class Handler {
    Dropped,  // not listed for this flag: no log, no handler
    LogOnly,  // logged with its name, no handler
    ParseDeviceIMEI,
    ParseStatusUpdate,
    ParseExtendStatusUpdate,
    ParseSWVersion,
    ParseOpenSessionResponse,
    ParseFOTACtrlResponse,
    ParseFOTADownloadDataResponse,
    ParseFOTAUpdateResponse,
    ParseFOTA2EmergencyResponse,
    ParseFOTA2OpenResponse,
    ParseFOTA2DataResponse,
};

struct MessageRoute {
    // The id's name as logged after "MSG_REQ: " or "MSG_RES: "; null for dropped messages.
    const char* name;
    Handler handler;
};

// The id table of the device link: the same for both generations.
MessageRoute routeMessage(int messageId, int response);

}  // namespace devlink
