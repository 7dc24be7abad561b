#pragma once

#include <cstddef>
#include <cstdint>

class BluetoothHandle;

namespace devlink {

// A handler of one received payload: a member of the handle, run on its listener thread.
using PayloadHandler = bool (BluetoothHandle::*)(const uint8_t* payload, std::size_t length);

struct MessageRoute {
    // The id's name as logged after "MSG_REQ: " or "MSG_RES: "; null for dropped messages.
    const char* name;
    // Null for messages that are only logged.
    PayloadHandler handler;
};

// The routing table of the device link, the same for both generations: which handler a
// received message reaches, by id and response flag. A new message id is one row there.
MessageRoute routeMessage(int messageId, int response);

}  // namespace devlink
