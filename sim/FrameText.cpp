#include "sim/FrameText.h"

#include <cstdio>
#include <span>

#include "sim/Transcript.h"

namespace sim {

std::string describeFrame(const devlink::DecodedFrame& frame) {
    char head[112];
    std::snprintf(head, sizeof(head), "0x%02X %s%s%s, payload %zu bytes%s: ", frame.messageId,
                  frame.response ? "response" : "request", frame.dataFlag ? " data-flagged" : "",
                  frame.longForm ? " long-form" : "", frame.payload.size(),
                  frame.checksumOk ? "" : ", bad checksum");
    const std::span<const uint8_t> all(frame.frame);
    if (all.size() <= 24) {
        return head + Transcript::hex(all);
    }
    return head + Transcript::hex(all.first(16)) + " ... " + Transcript::hex(all.last(4));
}

}  // namespace sim
