// The firmware transfer handlers of the device link.
//
// FIXME: the transfer protocol (session open, MTU, entry and data requests, progress and result
// reports, emergency requests) is not built yet. Until it is, the dispatch already routes every
// transfer id here and each handler only logs the message and reports it as not handled, so a
// transfer message never changes any state or raises any event.

#include "link/BluetoothHandle.h"
#include "services/Log.h"

namespace {

bool notHandledYet(const char* method, const uint8_t* payload, std::size_t length) {
    BluetoothHandle::logMessage("RECV: ", method, payload, length);
    _Log(LOG_INFO, method, __LINE__, "firmware transfer message not handled");
    return false;
}

}  // namespace

bool BluetoothHandle::parseOpenSessionResponse(const uint8_t* payload, std::size_t length) {
    return notHandledYet("BluetoothHandle::parseOpenSessionResponse", payload, length);
}

bool BluetoothHandle::parseFOTA2OpenResponse(const uint8_t* payload, std::size_t length) {
    return notHandledYet("BluetoothHandle::parseFOTA2OpenResponse", payload, length);
}

bool BluetoothHandle::parseFOTACtrlResponse(const uint8_t* payload, std::size_t length) {
    return notHandledYet("BluetoothHandle::parseFOTACtrlResponse", payload, length);
}

bool BluetoothHandle::parseFOTADownloadDataResponse(const uint8_t* payload, std::size_t length) {
    return notHandledYet("BluetoothHandle::parseFOTADownloadDataResponse", payload, length);
}

bool BluetoothHandle::parseFOTA2DataResponse(const uint8_t* payload, std::size_t length) {
    return notHandledYet("BluetoothHandle::parseFOTA2DataResponse", payload, length);
}

bool BluetoothHandle::parseFOTAUpdateResponse(const uint8_t* payload, std::size_t length) {
    return notHandledYet("BluetoothHandle::parseFOTAUpdateResponse", payload, length);
}

bool BluetoothHandle::parseFOTA2EmergencyResponse(const uint8_t* payload, std::size_t length) {
    return notHandledYet("BluetoothHandle::parseFOTA2EmergencyResponse", payload, length);
}
