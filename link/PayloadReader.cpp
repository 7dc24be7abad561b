#include "link/PayloadReader.h"

#include "base/Log.h"

namespace devlink {

bool payloadHolds(const char* method, std::size_t length, std::size_t needed) {
    if (length >= needed) {
        return true;
    }
    _Log(LOG_WARNING, method, __LINE__,
         "payload of %zu bytes is shorter than the %zu bytes of its layout; message ignored",
         length, needed);
    return false;
}

uint32_t readLittleEndian(const uint8_t* bytes, std::size_t count) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < count && i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    }
    return value;
}

}  // namespace devlink
