#pragma once

#include <cstdint>
#include <vector>

// One frame the receive path accepted.
struct SPPMessage {
    // A copy of the whole frame, start to end marker.
    std::vector<uint8_t> frame;
    // The response flag: 0 request, 1 response or acknowledgement.
    int response = 0;
    // The byte at offset 3.
    int msgId = 0;
    // L as read from the header: id, payload and checksum.
    int bodyLength = 0;
    int frameLength = 0;
};
