// The routing table of the device link: which part's handler a received message reaches, by id
// and response flag, and how long its payload must be at least. The listener checks that length
// once for every message (a shorter payload is logged under the handler's name and ignored), so
// handlers read their layout without checking it again.
//
// Adding a message id, end to end (the 0x61 extended status report is the worked example):
//  1. link/MessageIds.h: the id as an enum value (MSG_ID_EXTENDED_STATUS_UPDATED = 0x61).
//  2. The codec, on bytes alone and shared with auralis-sim: the payload's layout length and a
//     decode (or encode) function (link/StatusCodec: kExtendedStatusLengthFirst/Second and
//     decodeExtendedStatusUpdate), with its test beside the others (tests/link/StatusCodecTest).
//  3. The handler, a public member of the part that owns the state the message carries
//     (DeviceState::parseExtendStatusUpdate: decode, store, raise the event through the
//     handle's notify(), acknowledge). A message of the firmware transfer goes to
//     FirmwareTransfer. A new event is a new operation of IBluetoothHandleDelegate.
//  4. A row in kRoutes below: id, logged name, the reaction to each response flag (kDrop,
//     kLogOnly, or handledBy(onDeviceState<&DeviceState::...>) / onTransfer<...>) and the
//     layout's length in each generation ({kExtendedStatusLengthFirst,
//     kExtendedStatusLengthSecond}).
//  5. A test that feeds the framed message to a link (tests/link: LinkUnderTest::receiveFrame)
//     and checks the event and the answer; MessageDispatchTest lists every id's routing.
//  6. The sim's side, if the virtual earbuds are to send or answer it: sim/EarbudSession and
//     sim/EarbudReports use the same enum value and codec.
// A new field in an existing report touches only steps 2 and 3 (and DeviceStatus).

#include "link/MessageRoute.h"

#include "link/DeviceState.h"
#include "link/FirmwareTransfer.h"
#include "link/MessageIds.h"
#include "link/StatusCodec.h"

namespace devlink {
namespace {

template <bool (DeviceState::*Member)(const uint8_t*, std::size_t)>
bool onDeviceState(const MessageHandlers& parts, const uint8_t* payload, std::size_t length) {
    return (parts.deviceState.*Member)(payload, length);
}

template <bool (FirmwareTransfer::*Member)(const uint8_t*, std::size_t)>
bool onTransfer(const MessageHandlers& parts, const uint8_t* payload, std::size_t length) {
    return (parts.transfer.*Member)(payload, length);
}

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

// The payload's layout length by generation.
struct Layout {
    std::size_t first;
    std::size_t second;
};

constexpr Layout same(std::size_t length) {
    return {length, length};
}

struct RouteEntry {
    uint8_t id;
    const char* name;
    Reaction request;   // received with response flag 0
    Reaction response;  // received with response flag 1
    // The handler's name in the log; the link's log has always named them BluetoothHandle::...
    const char* method;
    Layout layout;
};

using DS = DeviceState;
using FT = FirmwareTransfer;

constexpr RouteEntry kRoutes[] = {
    {MSG_ID_DEBUG_SERIAL_NUMBER,
     "MSG_ID_DEBUG_SERIAL_NUMBER",
     kDrop,
     handledBy(onDeviceState<&DS::parseDeviceIMEI>),
     "BluetoothHandle::parseDeviceIMEI",
     {2 * kSerialNumberWidthFirst, 2 * kSerialNumberWidthSecond}},
    {MSG_ID_RESET, "MSG_ID_RESET", kDrop, kDrop, nullptr, same(0)},
    {MSG_ID_UPDATE_RESPONSE, "MSG_ID_UPDATE_RESPONSE", kDrop, kDrop, nullptr, same(0)},
    {MSG_ID_STATUS_UPDATED, "MSG_ID_STATUS_UPDATED",
     handledBy(onDeviceState<&DS::parseStatusUpdate>),
     handledBy(onDeviceState<&DS::parseStatusUpdate>), "BluetoothHandle::parseStatusUpdate",
     same(kStatusUpdateLength)},
    {MSG_ID_EXTENDED_STATUS_UPDATED,
     "MSG_ID_EXTENDED_STATUS_UPDATED",
     handledBy(onDeviceState<&DS::parseExtendStatusUpdate>),
     kLogOnly,
     "BluetoothHandle::parseExtendStatusUpdate",
     {kExtendedStatusLengthFirst, kExtendedStatusLengthSecond}},
    {MSG_ID_FOTA_SESSION, "MSG_ID_FOTA_SESSION",
     handledBy(onTransfer<&FT::parseOpenSessionResponse>),
     handledBy(onTransfer<&FT::parseOpenSessionResponse>),
     "BluetoothHandle::parseOpenSessionResponse", same(2)},
    {MSG_ID_FOTA_CONTROL, "MSG_ID_FOTA_CONTROL", handledBy(onTransfer<&FT::parseFOTACtrlResponse>),
     kDrop, "BluetoothHandle::parseFOTACtrlResponse", same(1)},
    {MSG_ID_FOTA_DOWNLOAD_DATA, "MSG_ID_FOTA_DOWNLOAD_DATA", kLogOnly,
     handledBy(onTransfer<&FT::parseFOTADownloadDataResponse>),
     "BluetoothHandle::parseFOTADownloadDataResponse", same(4)},
    {MSG_ID_FOTA_UPDATE, "MSG_ID_FOTA_UPDATE", handledBy(onTransfer<&FT::parseFOTAUpdateResponse>),
     kLogOnly, "BluetoothHandle::parseFOTAUpdateResponse", same(1)},
    {MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, "MSG_ID_FOTA_DEVICE_INFO_SW_VERSION", kDrop,
     handledBy(onDeviceState<&DS::parseSWVersion>), "BluetoothHandle::parseSWVersion", same(0)},
    {MSG_ID_FOTA2_EMERGENCY, "MSG_ID_FOTA2_EMERGENCY",
     handledBy(onTransfer<&FT::parseFOTA2EmergencyResponse>), kDrop,
     "BluetoothHandle::parseFOTA2EmergencyResponse", same(0)},
    {MSG_ID_FOTA2_OPEN, "MSG_ID_FOTA2_OPEN", handledBy(onTransfer<&FT::parseFOTA2OpenResponse>),
     kDrop, "BluetoothHandle::parseFOTA2OpenResponse", same(1)},
    {MSG_ID_FOTA2_CONTROL, "MSG_ID_FOTA_CONTROL", handledBy(onTransfer<&FT::parseFOTACtrlResponse>),
     kDrop, "BluetoothHandle::parseFOTACtrlResponse", same(1)},
    {MSG_ID_FOTA2_DATA, "MSG_ID_FOTA2_DATA", handledBy(onTransfer<&FT::parseFOTA2DataResponse>),
     kDrop, "BluetoothHandle::parseFOTA2DataResponse", same(4)},
    {MSG_ID_FOTA2_UPDATE, "MSG_ID_FOTA_UPDATE", handledBy(onTransfer<&FT::parseFOTAUpdateResponse>),
     kDrop, "BluetoothHandle::parseFOTAUpdateResponse", same(1)},
};

}  // namespace

MessageRoute routeMessage(int messageId, int response, Generation generation) {
    for (const RouteEntry& entry : kRoutes) {
        if (entry.id != messageId) {
            continue;
        }
        const Reaction& reaction = response != 0 ? entry.response : entry.request;
        if (!reaction.listed) {
            break;
        }
        const std::size_t minLength =
            generation == Generation::Second ? entry.layout.second : entry.layout.first;
        return {entry.name, reaction.handler, entry.method, minLength};
    }
    return {nullptr, nullptr, nullptr, 0};
}

}  // namespace devlink
