#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace devlink {

// The bytes of a frame as the device link logs them: "%02x " for each byte. From 100 bytes on
// only the first 10 bytes, then "... ", then the last 9 bytes are written.
std::string hexDump(const uint8_t* bytes, std::size_t count);
// The same dump appended to out (which can be reused from frame to frame without allocating).
void appendHexDump(std::string& out, const uint8_t* bytes, std::size_t count);

}  // namespace devlink
