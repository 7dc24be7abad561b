#include "link/StatusCodec.h"

#include "link/PayloadReader.h"

namespace devlink {

std::size_t extendedStatusLength(Generation generation) {
    return generation == Generation::Second ? kExtendedStatusLengthSecond
                                            : kExtendedStatusLengthFirst;
}

std::optional<DeviceStatus> decodeStatusUpdate(std::span<const uint8_t> payload,
                                               const DeviceStatus& known) {
    if (payload.size() < kStatusUpdateLength) {
        return std::nullopt;
    }
    DeviceStatus status = known;
    status.earType = payload[0];
    status.batteryLeft = payload[1];
    status.batteryRight = payload[2];
    status.twsStatus = payload[3];
    status.mainConnection = payload[4];
    status.wearingDetection = payload[5];
    status.batteryCase = payload[6];
    return status;
}

std::optional<DeviceStatus> decodeExtendedStatusUpdate(std::span<const uint8_t> payload,
                                                       Generation generation,
                                                       const DeviceStatus& known) {
    if (payload.size() < extendedStatusLength(generation)) {
        return std::nullopt;
    }
    const bool second = generation == Generation::Second;
    DeviceStatus status = known;
    status.messageRevision = payload[0];
    status.earType = payload[1];
    status.batteryLeft = payload[2];
    status.batteryRight = payload[3];
    status.twsStatus = payload[4];
    status.mainConnection = payload[5];
    status.wearingDetection = payload[6];
    // The first generation reports no case battery and no colours.
    status.batteryCase = second ? payload[7] : 0;
    status.DeviceColorL = second ? static_cast<int32_t>(readLittleEndian(&payload[15], 2)) : 0;
    status.DeviceColorR = second ? static_cast<int32_t>(readLittleEndian(&payload[17], 2)) : 0;
    return status;
}

std::optional<SerialNumbers> decodeSerialNumbers(std::span<const uint8_t> payload,
                                                 Generation generation) {
    const std::size_t width =
        generation == Generation::Second ? kSerialNumberWidthSecond : kSerialNumberWidthFirst;
    if (payload.size() < 2 * width) {
        return std::nullopt;
    }
    const char* text = reinterpret_cast<const char*>(payload.data());
    return SerialNumbers{std::string(text, width), std::string(text + width, width)};
}

}  // namespace devlink
