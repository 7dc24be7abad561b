#pragma once

#include <string>

#include "link/FrameDecoder.h"

namespace sim {

// "0x29 request, payload 0 bytes: FD 03 00 29 4B B5 DD" (long frames shortened): how the sim
// names a received frame in its log when a check fails.
std::string describeFrame(const devlink::DecodedFrame& frame);

}  // namespace sim
