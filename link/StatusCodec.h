#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "link/DeviceStatus.h"
#include "link/FrameCodec.h"

namespace devlink {

// The status reports on bytes alone: no I/O, no logging. Each report overwrites only the fields
// it carries, so each takes the status known so far and yields the new one; a payload shorter
// than its layout yields nothing (extra bytes are ignored).

// Bytes of the status report's layout (0x60).
constexpr std::size_t kStatusUpdateLength = 7;
// Bytes of the extended status report's layout (0x61) in the given generation.
constexpr std::size_t kExtendedStatusLengthFirst = 7;
constexpr std::size_t kExtendedStatusLengthSecond = 19;
std::size_t extendedStatusLength(Generation generation);
// Width of each serial number in the serial-number response (0x29), left then right.
constexpr std::size_t kSerialNumberWidthFirst = 12;
constexpr std::size_t kSerialNumberWidthSecond = 11;

struct SerialNumbers {
    std::string left;
    std::string right;
};

std::optional<DeviceStatus> decodeStatusUpdate(std::span<const uint8_t> payload,
                                               const DeviceStatus& known);
std::optional<DeviceStatus> decodeExtendedStatusUpdate(std::span<const uint8_t> payload,
                                                       Generation generation,
                                                       const DeviceStatus& known);
// The serial-number response: two fixed-width fields copied as they are, NUL bytes included.
std::optional<SerialNumbers> decodeSerialNumbers(std::span<const uint8_t> payload,
                                                 Generation generation);

}  // namespace devlink
