#pragma once

#include <cstddef>
#include <cstdint>

namespace devlink {

// Whether a received payload of `length` bytes holds the `needed` bytes of its layout. When it
// does not, logs a warning under `method` and the message is to be ignored: the layouts do not
// say what a shorter payload means, reading on would go past it, and reading the missing bytes
// as 0 would report a state the earbuds never reported.
bool payloadHolds(const char* method, std::size_t length, std::size_t needed);

// The unsigned little-endian number in `count` (at most 4) bytes.
uint32_t readLittleEndian(const uint8_t* bytes, std::size_t count);

}  // namespace devlink
