#pragma once

#include <cstdint>
#include <span>

namespace sim {

// A running CRC-32 (fota::crc32, the package's check value) fed piece by piece as fragments
// arrive.
class Crc32 {
public:
    void update(std::span<const uint8_t> bytes);
    uint32_t value() const { return m_value; }
    void reset() { m_value = 0; }

private:
    uint32_t m_value = 0;
};

}  // namespace sim
