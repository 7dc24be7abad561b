#include "sim/Crc32.h"

#include "fota/Crc32.h"

namespace sim {

void Crc32::update(std::span<const uint8_t> bytes) {
    m_value = fota::crc32(bytes.data(), bytes.size(), m_value);
}

}  // namespace sim
