#pragma once

#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"

class DeviceState;
class FirmwareTransfer;

namespace devlink {

// The parts of the link whose handlers the routing table names.
struct MessageHandlers {
    DeviceState& deviceState;
    FirmwareTransfer& transfer;
};

// A handler of one received payload, run on the listener thread: it calls the member of the
// part that owns the message.
using PayloadHandler = bool (*)(const MessageHandlers& parts, const uint8_t* payload,
                                std::size_t length);

struct MessageRoute {
    // The id's name as logged after "MSG_REQ: " or "MSG_RES: "; null for dropped messages.
    const char* name;
    // Null for messages that are only logged.
    PayloadHandler handler;
    // The handler's name in the log (a payload shorter than minLength is logged under it).
    const char* method;
    // Bytes of the payload's layout in the connected generation: a shorter payload is ignored.
    std::size_t minLength;
};

// The routing table of the device link (MessageRoute.cpp, which says how to add a message):
// what a received message with this id and response flag reaches. Each row names the message,
// the handler of the part that owns it for either flag, and the length of its payload's layout.
MessageRoute routeMessage(int messageId, int response, Generation generation);

}  // namespace devlink
