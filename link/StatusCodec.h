#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "link/DeviceStatus.h"
#include "link/FrameCodec.h"

namespace devlink {

// The status reports on bytes alone: no I/O, no logging. Each report overwrites only the fields
// it carries, so each takes the status known so far and yields the new one; a payload shorter
// than its layout yields nothing (extra bytes are ignored).

// Bytes of the status report's layout (0x60).
constexpr std::size_t kStatusUpdateLength = 7;
// Bytes of the extended status report's layout (0x61) in the given generation.
std::size_t extendedStatusLength(Generation generation);

std::optional<DeviceStatus> decodeStatusUpdate(std::span<const uint8_t> payload,
                                               const DeviceStatus& known);
std::optional<DeviceStatus> decodeExtendedStatusUpdate(std::span<const uint8_t> payload,
                                                       Generation generation,
                                                       const DeviceStatus& known);

}  // namespace devlink
